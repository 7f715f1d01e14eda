// The demo board in plain arrays, costing next to nothing: no log, no
// faults, no heap. With tests/board_libmii.cpp it stands in for libmii.so
// in measurements and allocation checks of the tool's own code; a fuzz
// harness puts its own faults in front of it.
#pragma once

#include <cstdint>

// The demo board at power-on: lookup reads not enabled, the PHYs and table
// entries of tests/demo_board.h, the switch busy for DEMO_BUSY_POLLS status
// reads after each read command. Clears the access count.
void board_reset();

// Register accesses since the last board_reset.
unsigned long board_accesses();

// One access to the board; libmii.so's mdio_read and mdio_write (in
// tests/board_libmii.cpp, or a harness's own) pass them on.
uint16_t board_read(uint16_t phy, int reg);
void board_write(uint16_t phy, int reg, uint16_t value);
