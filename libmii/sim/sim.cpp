// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii.so for a simulated board, so that miictl runs and is tested on any
// Linux machine: the two exported calls, answered by the board's model
// (board/mdio-board.h) as the built-in demo board or a board file sets it
// up, with its faults and saving, or from a recording, and traced.
// docs/simulated-board.md describes the board, its files and its errors.
// Callers are single-threaded, like the tool.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "libmii/sim/board.h"
#include "libmii/sim/trace.h"
#include "mdio/mdio.h"

#define SIM_EXPORT __attribute__((visibility("default")))

constexpr int SIM_UNLOADED = 0;
constexpr int SIM_READY = 1;
constexpr int SIM_BROKEN = 2;    // the board file or recording is unusable: every access fails
constexpr int SIM_REPLAYING = 3; // answers come from a recording

mdio_board sim_bd;
char sim_nic[SIM_NAME_MAX + 1];
sim_run sim_rn;
static int sim_state = SIM_UNLOADED;

// Sets the board up on the first access of the run.
static void sim_init() {
  if (sim_state != SIM_UNLOADED) {
    return;
  }
  const char *replay = std::getenv("MII_SIM_REPLAY");
  if (replay != nullptr && *replay != '\0') {
    sim_state = sim_replay_load(replay) ? SIM_REPLAYING : SIM_BROKEN;
  } else {
    sim_state = sim_load_board(std::getenv("MII_SIM_BOARD")) ? SIM_READY : SIM_BROKEN;
  }
  sim_trace_open();
}

void sim_restart() {
  sim_rn = {};
  sim_state = SIM_UNLOADED;
}

static void sim_end(sim_access *a, int status, int err) {
  a->failed = true;
  a->status = status;
  a->err = err;
}

// Why the board cannot answer this access at all, in the order it is
// checked, or 0.
static int sim_refusal(const char *nic, uint16_t phy, int reg) {
  if (sim_state == SIM_BROKEN) {
    return EINVAL;
  }
  if (sim_state == SIM_REPLAYING) {
    return 0;
  }
  if (nic == nullptr || std::strcmp(nic, sim_nic) != 0) {
    return ENODEV;
  }
  if (phy >= BOARD_PHYS || reg < 0 || reg >= BOARD_REGS) {
    return EINVAL;
  }
  return 0;
}

// Starts an access: sets the board up if need be and refuses what the
// board cannot answer, counting it as the board counts those it answers.
static sim_access sim_begin(int kind, const char *nic, uint16_t phy, int reg, uint16_t value) {
  sim_init();
  sim_access a = {kind, nic, phy, reg, value, false, false, 0, 0};
  int err = sim_refusal(nic, phy, reg);
  if (err != 0) {
    sim_bd.accesses++;
    sim_end(&a, err, err);
  }
  return a;
}

// Answers an access the board does not refuse: from the recording, or from
// the board, which a fault may fail; saves a register a write changed.
static void sim_answer(sim_access *a) {
  if (sim_state == SIM_REPLAYING) {
    sim_replay(a);
    return;
  }
  const board_fault *f = nullptr;
  if (a->kind == SIM_READ) {
    f = mdio_board_read(&sim_bd, a->phy, a->reg, &a->value);
    a->stored = f == nullptr || f->has_value != 0;
    a->value = f != nullptr ? static_cast<uint16_t>(f->value) : a->value;
  } else {
    uint16_t was = sim_bd.regs[a->phy][a->reg];
    f = mdio_board_write(&sim_bd, a->phy, a->reg, a->value);
    if (sim_bd.regs[a->phy][a->reg] != was) {
      sim_save(a->phy, a->reg);
    }
  }
  if (f != nullptr) {
    sim_end(a, f->status, f->err);
  }
}

extern "C" SIM_EXPORT int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  int caller_errno = errno;
  sim_access a = sim_begin(SIM_READ, nic, phy, reg, 0);
  if (!a.failed && value == nullptr) {
    sim_bd.accesses++;
    sim_end(&a, EINVAL, EINVAL);
  }
  if (!a.failed) {
    sim_answer(&a);
  }
  if (a.stored) {
    *value = a.value;
  }
  sim_trace(&a);
  errno = a.failed ? a.err : caller_errno;
  return a.status;
}

extern "C" SIM_EXPORT int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) {
  int caller_errno = errno;
  sim_access a = sim_begin(SIM_WRITE, nic, phy, reg, value);
  if (!a.failed) {
    sim_answer(&a);
  }
  sim_trace(&a);
  errno = a.failed ? a.err : caller_errno;
  return a.status;
}
