// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// vboard_dt BOARD: the virtual board's switch bus as a device tree node, for
// vboard/image. The board file is read by the simulated board's own reader
// into the board's model (board/mdio-board.h), whose arrays become the
// node's cells in their order, for vboard/mdio-vboard.c to read back; the
// PHY that the eTSEC is attached to sits at address 0. So every board file
// means the same here as at the desk, and a mistake gets the same message.
// The virtual board answers on eth0, and fails an access as a kernel bus
// driver does, with a value or an errno (vboard/mdio-vboard.c): a board
// file with another interface, or with a fault that cannot be said so, is
// refused.
//
// vboard_dt -d BOARD: the same board as a board file for the desk, whose
// faults fail each access as the kernel's PHY layer then shows it to a
// program: a read failing with errno E succeeds with -E cut to 16 bits, a
// failed write succeeds and stores nothing. So a run at the desk shows
// what the same run shows through the virtual board's kernel.
#include <cstdio>
#include <cstring>

#include "libmii/sim/board.h"

constexpr int VBOARD_ERRNO_MAX = 4095; // the kernel's highest errno
constexpr int VBOARD_FAULT_CELLS = 8;  // a struct board_fault's 32-bit cells
static_assert(sizeof(board_fault) == VBOARD_FAULT_CELLS * sizeof(uint32_t), "a fault is its cells");

// Why a kernel bus driver cannot fail an access as `f` does, or null: its
// read gives a value or a negative errno, its write 0 or a negative errno,
// and the kernel's own accesses count among the board's.
static const char *vboard_refused(const board_fault &f) {
  if (f.kind == BOARD_ACCESS) {
    return "the kernel's own accesses count too, so it works at the desk only";
  }
  if (f.status == 0) {
    return f.kind == BOARD_READ && f.has_value == 0 ? "status 0 needs a value on the virtual board" : nullptr;
  }
  if (f.err < 1 || f.err > VBOARD_ERRNO_MAX) {
    return "a status other than 0 needs an errno from 1 to 4095 on the virtual board";
  }
  return nullptr;
}

// Prints `name` with `count` cells of `cell` bits from `values`.
template <typename T> static void vboard_cells(const char *name, int cell, const T *values, int count) {
  std::printf("\t%s = %s<", name, cell == 16 ? "/bits/ 16 " : "");
  for (int i = 0; i < count; i++) {
    std::printf("%s0x%x", i == 0 ? "" : i % 8 == 0 ? "\n\t\t" : " ", static_cast<unsigned>(values[i]));
  }
  std::printf(">;\n");
}

// Prints the board as a board file for the desk (see above).
static void vboard_desk_board() {
  static mdio_board bare;
  mdio_board_clear(&bare);
  for (int phy = 0; phy < BOARD_PHYS; phy++) {
    for (int reg = 0; reg < BOARD_REGS; reg++) {
      if (sim_bd.regs[phy][reg] != bare.regs[phy][reg] && !mdio_board_is_engine(phy, reg)) {
        std::printf("reg %d %d 0x%04x\n", phy, reg, static_cast<unsigned>(sim_bd.regs[phy][reg]));
      }
    }
  }
  for (int i = 0; i < BOARD_LUT_ENTRIES; i++) {
    if (sim_bd.lut[i][0] != 0 || sim_bd.lut[i][1] != 0) {
      std::printf("lut %d 0x%08x 0x%08x\n", i, static_cast<unsigned>(sim_bd.lut[i][0]),
                  static_cast<unsigned>(sim_bd.lut[i][1]));
    }
  }
  std::printf(sim_bd.busy_forever ? "busy forever\n" : "busy %u\n", static_cast<unsigned>(sim_bd.busy_polls));
  for (uint32_t i = 0; i < sim_bd.fault_count; i++) {
    const board_fault &f = sim_bd.faults[i];
    bool read = f.kind == BOARD_READ;
    bool failing = f.status != 0; // else as at the desk: a value, and status 0
    unsigned value = failing ? static_cast<unsigned>(-f.err) & 0xFFFFU : f.value;
    std::printf("fault %s %u %u status 0 errno %d", read ? "read" : "write", f.phy, f.reg, failing ? 0 : f.err);
    std::printf(read ? " value 0x%04x\n" : "\n", value);
  }
}

int main(int argc, char **argv) {
  bool desk = argc == 3 && std::strcmp(argv[1], "-d") == 0;
  const char *path = argv[argc - 1];
  if ((argc != 2 && !desk) || path[0] == '\0') {
    std::fprintf(stderr, "usage: vboard_dt [-d] BOARD\n");
    return 2;
  }
  if (!sim_load_board(path)) {
    return 1;
  }
  if (std::strcmp(sim_nic, "eth0") != 0) {
    std::fprintf(stderr, "vboard: %s: the virtual board's interface is eth0\n", path);
    return 1;
  }
  for (uint32_t i = 0; i < sim_bd.fault_count; i++) {
    const board_fault &f = sim_bd.faults[i];
    const char *why = vboard_refused(f);
    if (why == nullptr) {
      continue;
    }
    if (f.kind == BOARD_ACCESS) {
      std::fprintf(stderr, "vboard: %s: fault access %u: %s\n", path, f.position, why);
    } else {
      const char *kind = f.kind == BOARD_READ ? "read" : "write";
      std::fprintf(stderr, "vboard: %s: fault %s %u %u: %s\n", path, kind, f.phy, f.reg, why);
    }
    return 1;
  }
  if (desk) {
    vboard_desk_board();
    return 0;
  }
  std::printf("switch-mdio {\n\tcompatible = \"miictl,switch-mdio\";\n\t#address-cells = <1>;\n\t#size-cells = <0>;\n");
  vboard_cells("miictl,regs", 16, &sim_bd.regs[0][0], BOARD_PHYS * BOARD_REGS);
  vboard_cells("miictl,lut", 32, &sim_bd.lut[0][0], BOARD_LUT_ENTRIES * 2);
  vboard_cells("miictl,busy-polls", 32, &sim_bd.busy_polls, 1);
  if (sim_bd.fault_count != 0) {
    uint32_t cells[BOARD_FAULTS_MAX * VBOARD_FAULT_CELLS];
    std::memcpy(cells, sim_bd.faults, sim_bd.fault_count * sizeof(board_fault));
    vboard_cells("miictl,faults", 32, cells, static_cast<int>(sim_bd.fault_count) * VBOARD_FAULT_CELLS);
  }
  std::printf("%s\tswitch_cpu_phy: ethernet-phy@0 {\n\t\treg = <0>;\n\t};\n};\n",
              sim_bd.busy_forever ? "\tmiictl,busy-forever;\n" : "");
  return 0;
}
