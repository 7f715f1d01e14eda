// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The simulated board's state, shared by its rooms: registers and table, the
// lookup engine, and what the run has done. The board names its registers
// itself, so that a wrong constant in the tool is not mirrored here.
#pragma once

#include <cstdint>

constexpr int SIM_PHYS = 32;
constexpr int SIM_REGS = 32;
constexpr int SIM_PHYS_FITTED = 9; // PHYs 0-8 answer
constexpr uint16_t SIM_NOBODY = 0xFFFF;

// Lookup configuration, PHY 0.
constexpr uint16_t SIM_CFG_PHY = 0;
constexpr int SIM_CFG_REG = 19;
constexpr uint16_t SIM_READ_ENABLE = 0x0800;

// The switch's lookup engine, PHY 7 registers 16-20.
constexpr uint16_t SIM_ENGINE_PHY = 7;
constexpr int SIM_ENGINE_CTRL = 16;
constexpr int SIM_ENGINE_DATA3 = 17; // first data register
constexpr int SIM_ENGINE_ADDR = 18;
constexpr int SIM_ENGINE_DATA0 = 20; // last data register
constexpr uint16_t SIM_CMD_READ = 0xFFFF;
constexpr uint16_t SIM_BUSY = 0x0002;

constexpr int SIM_LUT_ENTRIES = 1024;
constexpr int SIM_NAME_MAX = 15;   // interface name length, as the kernel's
constexpr int SIM_PATH_MAX = 4096; // board file name, bytes
constexpr int SIM_FAULTS_MAX = 32;

constexpr int SIM_READ = 0;
constexpr int SIM_WRITE = 1;
constexpr int SIM_EITHER = 2; // a fault on the access at a position in the run

// An access made to fail by the board file.
struct sim_fault {
  int kind;          // SIM_READ, SIM_WRITE, or SIM_EITHER with `position`
  uint16_t phy;      // read and write faults: the register
  int reg;           //
  int index;         // the table entry latched at the access, or -1: any
  uint32_t nth;      // fail only this matching access (1-based), or 0: all
  uint32_t position; // SIM_EITHER: the access's number in the run
  int status;        // returned
  int err;           // left in errno
  bool has_value;    // reads: `value` is still stored
  uint16_t value;    //
  uint32_t matched;  // matching accesses so far
};

// Everything the board holds for the run.
struct sim_board {
  char nic[SIM_NAME_MAX + 1];
  uint16_t regs[SIM_PHYS][SIM_REGS];
  uint32_t lut_hi[SIM_LUT_ENTRIES]; // registers 17:18
  uint32_t lut_lo[SIM_LUT_ENTRIES]; // registers 19:20
  uint32_t busy_polls;              // busy status reads after each command
  bool busy_forever;                // the busy flag never clears
  sim_fault faults[SIM_FAULTS_MAX];
  int fault_count;
};

// The lookup engine; it starts zeroed every run.
struct sim_engine {
  uint16_t data[4];   // registers 17-20
  uint16_t latched;   // entry index from the last address word
  uint32_t busy_left; // busy status reads still to come
  bool stuck;         // busy for good since the last command
};

// What the run has done so far, outside the board proper.
struct sim_run {
  bool from_file;
  char path[SIM_PATH_MAX];
  uint32_t accesses;              // so far, refused ones included
  bool dirty[SIM_PHYS][SIM_REGS]; // plain registers whose value a write changed
};

// One access on its way through: what was asked and how it ends.
struct sim_access {
  int kind;
  const char *nic;
  uint16_t phy;
  int reg;
  uint16_t value; // written, or to be stored through the read pointer
  bool stored;    // a read stores `value`
  bool failed;    // errno is to be set to `err`
  int err;
  int status;
};

extern sim_board sim_bd;
extern sim_engine sim_eng;
extern sim_run sim_rn;

// Forgets the board, so that the next access sets it up afresh from the
// environment: for a harness running the tool many times in one process
// (without a trace or a replay, which keep their files).
void sim_restart();

constexpr bool sim_is_engine(uint16_t phy, int reg) {
  return phy == SIM_ENGINE_PHY && reg >= SIM_ENGINE_CTRL && reg <= SIM_ENGINE_DATA0;
}

// The table entry an address word latches: index bits 7..0 come in bits
// 15..8, bits 9..8 in bits 1..0.
constexpr uint16_t sim_index_of(uint16_t word) { return static_cast<uint16_t>((word >> 8) | ((word & 0x0003U) << 8)); }
