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

int main(int argc, char **argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: vboard_dt BOARD\n");
    return 2;
  }
  if (!sim_load_board(argv[1])) {
    return 1;
  }
  if (std::strcmp(sim_nic, "eth0") != 0) {
    std::fprintf(stderr, "vboard: %s: the virtual board's interface is eth0\n", argv[1]);
    return 1;
  }
  for (uint32_t i = 0; i < sim_bd.fault_count; i++) {
    const board_fault &f = sim_bd.faults[i];
    const char *why = vboard_refused(f);
    if (why == nullptr) {
      continue;
    }
    if (f.kind == BOARD_ACCESS) {
      std::fprintf(stderr, "vboard: %s: fault access %u: %s\n", argv[1], f.position, why);
    } else {
      const char *kind = f.kind == BOARD_READ ? "read" : "write";
      std::fprintf(stderr, "vboard: %s: fault %s %u %u: %s\n", argv[1], kind, f.phy, f.reg, why);
    }
    return 1;
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
