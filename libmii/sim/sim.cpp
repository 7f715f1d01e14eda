// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii.so for a simulated board, so that miictl runs and is tested on any
// Linux machine: the board model (demo board, plain registers, the switch's
// lookup engine) and the two exported calls, which use the board file,
// faults, saving, replay and the trace. docs/simulated-board.md describes
// the board, its files and its errors. Callers are single-threaded, like
// the tool.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "libmii/sim/board.h"
#include "libmii/sim/board_file.h"
#include "libmii/sim/fault.h"
#include "libmii/sim/replay.h"
#include "libmii/sim/save.h"
#include "libmii/sim/trace.h"
#include "mdio/mdio.h"

#define SIM_EXPORT __attribute__((visibility("default")))

constexpr int SIM_UNLOADED = 0;
constexpr int SIM_READY = 1;
constexpr int SIM_BROKEN = 2;    // the board file or recording is unusable: every access fails
constexpr int SIM_REPLAYING = 3; // answers come from a recording

// The built-in board, used when no board file is named.
constexpr uint16_t SIM_DEMO_CFG = 0x0123; // lookup reads not enabled yet
constexpr uint16_t SIM_DEMO_PHYS[SIM_PHYS_FITTED][4] = {
    // control, status, id 1, id 2
    {0x3100, 0x786d, 0x0022, 0x1512}, {0x3100, 0x7869, 0x0022, 0x1512}, {0x2100, 0x780d, 0x0022, 0x1512},
    {0x0000, 0x7809, 0x0022, 0x1512}, {0x1000, 0x786d, 0x0022, 0x1512}, {0x0100, 0x780d, 0x0007, 0xc0f1},
    {0x3100, 0x7849, 0x0007, 0xc0f1}, {0x3100, 0x786d, 0x0007, 0xc0f1}, {0x1140, 0x7949, 0x0007, 0xc0f1},
};
constexpr struct {
  uint16_t index;
  uint32_t hi;
  uint32_t lo;
} SIM_DEMO_LUT[] = {
    {1, 0x00000100, 0x105e0002},   // 02:00:5e:10:00:01 port 0
    {85, 0x00035544, 0x33221100},  // 00:11:22:33:44:55 port 3
    {455, 0x0012c701, 0x44eb27b8}, // b8:27:eb:44:01:c7 port 2, flag bit 4 set
    {515, 0x0001037e, 0x0a211b00}, // 00:1b:21:0a:7e:03 port 1
    {600, 0x00045a00, 0x00000000}, // LO 0 marks it unused, though HI is set
    {922, 0x000f9a2f, 0xc1605ea4}, // a4:5e:60:c1:2f:9a port 15
};

sim_board sim_bd;
sim_engine sim_eng;
sim_run sim_rn;
static int sim_state = SIM_UNLOADED;

// The board before any configuration: nothing but the fitted PHYs.
static void sim_board_defaults() {
  std::memcpy(sim_bd.nic, "eth0", sizeof "eth0");
  for (int phy = SIM_PHYS_FITTED; phy < SIM_PHYS; phy++) {
    for (int reg = 0; reg < SIM_REGS; reg++) {
      sim_bd.regs[phy][reg] = SIM_NOBODY;
    }
  }
  sim_bd.busy_polls = 1;
}

static void sim_load_demo() {
  for (int phy = 0; phy < SIM_PHYS_FITTED; phy++) {
    std::memcpy(sim_bd.regs[phy], SIM_DEMO_PHYS[phy], sizeof SIM_DEMO_PHYS[phy]);
  }
  sim_bd.regs[SIM_CFG_PHY][SIM_CFG_REG] = SIM_DEMO_CFG;
  for (const auto &entry : SIM_DEMO_LUT) {
    sim_bd.lut_hi[entry.index] = entry.hi;
    sim_bd.lut_lo[entry.index] = entry.lo;
  }
}

// Sets the board up on the first access of the run.
static void sim_init() {
  if (sim_state != SIM_UNLOADED) {
    return;
  }
  sim_board_defaults();
  const char *replay = std::getenv("MII_SIM_REPLAY");
  const char *path = std::getenv("MII_SIM_BOARD");
  if (replay != nullptr && *replay != '\0') {
    sim_state = sim_replay_load(replay) ? SIM_REPLAYING : SIM_BROKEN;
  } else if (path == nullptr || *path == '\0') {
    sim_load_demo();
    sim_state = SIM_READY;
  } else {
    sim_state = sim_load_file(path) ? SIM_READY : SIM_BROKEN;
  }
  sim_trace_open();
}

void sim_restart() {
  sim_bd = {};
  sim_eng = {};
  sim_rn = {};
  sim_state = SIM_UNLOADED;
}

static void sim_refuse(sim_access *a, int err) {
  a->failed = true;
  a->err = err;
  a->status = err;
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
  if (nic == nullptr || std::strcmp(nic, sim_bd.nic) != 0) {
    return ENODEV;
  }
  if (phy >= SIM_PHYS || reg < 0 || reg >= SIM_REGS) {
    return EINVAL;
  }
  return 0;
}

// Starts an access: sets the board up if need be, counts the access and
// refuses what the board cannot answer.
static sim_access sim_begin(int kind, const char *nic, uint16_t phy, int reg, uint16_t value) {
  sim_init();
  if (sim_rn.accesses < 0xFFFFFFFFU) {
    sim_rn.accesses++;
  }
  sim_access a = {kind, nic, phy, reg, value, false, false, 0, 0};
  int err = sim_refusal(nic, phy, reg);
  if (err != 0) {
    sim_refuse(&a, err);
  }
  return a;
}

static uint16_t sim_engine_read(int reg) {
  if (reg != SIM_ENGINE_CTRL) {
    return sim_eng.data[reg - SIM_ENGINE_DATA3];
  }
  if (sim_eng.stuck) {
    return SIM_BUSY;
  }
  if (sim_eng.busy_left > 0) {
    sim_eng.busy_left--;
    return SIM_BUSY;
  }
  return 0;
}

// A read command: loads the latched entry, if lookup reads are enabled.
static void sim_engine_command() {
  if ((sim_bd.regs[SIM_CFG_PHY][SIM_CFG_REG] & SIM_READ_ENABLE) == 0) {
    return;
  }
  uint32_t hi = sim_bd.lut_hi[sim_eng.latched];
  uint32_t lo = sim_bd.lut_lo[sim_eng.latched];
  sim_eng.data[0] = static_cast<uint16_t>(hi >> 16);
  sim_eng.data[1] = static_cast<uint16_t>(hi & 0xFFFFU);
  sim_eng.data[2] = static_cast<uint16_t>(lo >> 16);
  sim_eng.data[3] = static_cast<uint16_t>(lo & 0xFFFFU);
  sim_eng.busy_left = sim_bd.busy_polls;
  sim_eng.stuck = sim_bd.busy_forever;
}

static void sim_engine_write(int reg, uint16_t value) {
  if (reg == SIM_ENGINE_CTRL) {
    if (value == SIM_CMD_READ) {
      sim_engine_command();
    }
    return;
  }
  sim_eng.data[reg - SIM_ENGINE_DATA3] = value;
  if (reg == SIM_ENGINE_ADDR) {
    sim_eng.latched = sim_index_of(value);
  }
}

static uint16_t sim_board_read(uint16_t phy, int reg) {
  return sim_is_engine(phy, reg) ? sim_engine_read(reg) : sim_bd.regs[phy][reg];
}

static void sim_board_write(uint16_t phy, int reg, uint16_t value) {
  if (sim_is_engine(phy, reg)) {
    sim_engine_write(reg, value);
    return;
  }
  if (sim_bd.regs[phy][reg] == value) {
    return;
  }
  sim_bd.regs[phy][reg] = value;
  if (sim_rn.from_file) {
    sim_rn.dirty[phy][reg] = true;
    sim_save();
  }
}

// Answers an access the board does not refuse: from the recording, or as
// a fault says, or from the board.
static void sim_answer(sim_access *a) {
  if (sim_state == SIM_REPLAYING) {
    sim_replay(a);
    return;
  }
  const sim_fault *f = sim_fault_for(a);
  if (f != nullptr) {
    sim_fault_apply(a, f);
  } else if (a->kind == SIM_READ) {
    a->value = sim_board_read(a->phy, a->reg);
    a->stored = true;
  } else {
    sim_board_write(a->phy, a->reg, a->value);
  }
}

extern "C" SIM_EXPORT int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  int caller_errno = errno;
  sim_access a = sim_begin(SIM_READ, nic, phy, reg, 0);
  if (!a.failed && value == nullptr) {
    sim_refuse(&a, EINVAL);
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
