// In-process stand-in for libmii.so that costs next to nothing: the demo
// board in plain arrays, no log, no faults, no heap. For measurements and
// allocation checks of the tool's own code.
#pragma once

// The demo board at power-on: lookup reads not enabled, the PHYs and table
// entries of tests/demo_board.h, the switch busy for DEMO_BUSY_POLLS status
// reads after each read command. Clears the access count.
void board_reset();

// Register accesses since the last board_reset.
unsigned long board_accesses();
