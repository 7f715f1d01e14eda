// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii.so for a simulated board, so that miictl runs and is tested on any
// Linux machine: the two exported calls, answered by the board's model
// (board/mdio-board.h) as the built-in demo board or a board file sets it
// up, with its faults and saving, or from a recording, and traced to the
// file named by MII_SIM_TRACE. docs/simulated-board.md describes the board,
// its files and its errors. Callers are single-threaded, like the tool.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "libmii/sim/board.h"
#include "mdio/mdio.h"

#define SIM_EXPORT __attribute__((visibility("default")))

constexpr int SIM_UNLOADED = 0;
constexpr int SIM_READY = 1;
constexpr int SIM_BROKEN = 2;    // the board file or recording is unusable: every access fails
constexpr int SIM_REPLAYING = 3; // answers come from a recording

mdio_board sim_bd;
char sim_nic[SIM_NAME_MAX + 1];
static int sim_state = SIM_UNLOADED;
static trace_file sim_trace_out = {-1, nullptr, nullptr};

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
  trace_open(&sim_trace_out, "MII_SIM_TRACE", "libmii-sim");
}

void sim_restart() { sim_state = SIM_UNLOADED; }

// Why the board cannot answer the access at all, in the order it is
// checked, or 0. A replay answers whatever was recorded.
static int sim_refusal(const trace_record *a, bool no_value) {
  if (sim_state == SIM_BROKEN) {
    return EINVAL;
  }
  if (sim_state == SIM_REPLAYING) {
    return no_value ? EINVAL : 0;
  }
  if (a->nic == nullptr || std::strcmp(a->nic, sim_nic) != 0) {
    return ENODEV;
  }
  return a->phy >= BOARD_PHYS || a->reg < 0 || a->reg >= BOARD_REGS || no_value ? EINVAL : 0;
}

// Answers the access `a` (a read stores through `value`), traces it and
// returns its status; errno is left as the caller had it unless it failed.
static int sim_access(trace_record *a, uint16_t *value) {
  int caller_errno = errno;
  sim_init();
  const board_fault *f = nullptr;
  int refused = sim_refusal(a, !a->write && value == nullptr);
  if (refused != 0) {
    sim_bd.accesses++; // counted as the board counts those it answers
  } else if (sim_state == SIM_REPLAYING) {
    refused = sim_replay(a) ? 0 : EIO;
  } else if (a->write) {
    uint16_t was = sim_bd.regs[a->phy][a->reg];
    f = mdio_board_write(&sim_bd, a->phy, a->reg, a->value);
    if (sim_bd.regs[a->phy][a->reg] != was) {
      sim_save(a->phy, a->reg);
    }
  } else {
    f = mdio_board_read(&sim_bd, a->phy, a->reg, &a->value);
    a->stored = f == nullptr || f->has_value != 0;
    a->value = f != nullptr ? static_cast<uint16_t>(f->value) : a->value;
  }
  if (refused != 0 || f != nullptr) {
    a->status = f != nullptr ? f->status : refused;
    a->has_errno = true;
    a->err = f != nullptr ? f->err : refused;
  }
  if (value != nullptr && a->stored) {
    *value = a->value;
  }
  trace_put(&sim_trace_out, a);
  errno = a->has_errno ? a->err : caller_errno;
  return a->status;
}

extern "C" SIM_EXPORT int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  trace_record a = {false, nic, phy, reg, 0, false, 0, false, 0};
  return sim_access(&a, value);
}

extern "C" SIM_EXPORT int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) {
  trace_record a = {true, nic, phy, reg, value, true, 0, false, 0};
  return sim_access(&a, nullptr);
}
