// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// vboard_dt BOARD: the virtual board's switch bus as a device tree node, for
// vboard/image. The board file is read by the simulated board's own reader
// into the board's model (board/mdio-board.h), whose arrays become the
// node's cells in their order, for vboard/mdio-vboard.c to read back; the
// PHY that the eTSEC is attached to sits at address 0. So every board file
// means the same here as at the desk, and a mistake gets the same message.
// The virtual board answers on eth0 and fails no access: a board file with
// another interface or with faults is refused.
#include <cstdio>
#include <cstring>

#include "libmii/sim/board.h"

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
  const char *refused = std::strcmp(sim_nic, "eth0") != 0 ? "the virtual board's interface is eth0"
                        : sim_bd.fault_count != 0         ? "fault lines work at the desk only"
                                                          : nullptr;
  if (refused != nullptr) {
    std::fprintf(stderr, "vboard: %s: %s\n", argv[1], refused);
    return 1;
  }
  std::printf("switch-mdio {\n\tcompatible = \"miictl,switch-mdio\";\n\t#address-cells = <1>;\n\t#size-cells = <0>;\n");
  vboard_cells("miictl,regs", 16, &sim_bd.regs[0][0], BOARD_PHYS * BOARD_REGS);
  vboard_cells("miictl,lut", 32, &sim_bd.lut[0][0], BOARD_LUT_ENTRIES * 2);
  vboard_cells("miictl,busy-polls", 32, &sim_bd.busy_polls, 1);
  std::printf("%s\tswitch_cpu_phy: ethernet-phy@0 {\n\t\treg = <0>;\n\t};\n};\n",
              sim_bd.busy_forever ? "\tmiictl,busy-forever;\n" : "");
  return 0;
}
