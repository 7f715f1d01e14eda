// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The library's contract in C: a C99 program (the build holds it to the
// standard, extensions off) includes mdio/mdio.h, takes the two calls with
// the types the board's library has, and makes accesses through them on the
// simulated board's demo board, linked as a board vendor's program links
// libmii.so: each gives the status and value that board has for it.
// Exits non-zero on a difference.
#define _POSIX_C_SOURCE 200112L // unsetenv
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include "mdio/mdio.h"

static int (*const read_call)(const char *, uint16_t, int, uint16_t *) = mdio_read;
static int (*const write_call)(const char *, uint16_t, int, uint16_t) = mdio_write;

static const struct {
  const char *what;
  int write; // 1: writes `value`; 0: reads, expecting `value` on status 0
  const char *nic;
  uint16_t phy;
  int reg;
  uint16_t value;
  int status;
} ACCESSES[] = {
    {"PHY 0's first identifier", 0, "eth0", 0, 2, 0x0022, 0},
    {"PHY 5's second identifier", 0, "eth0", 5, 3, 0xc0f1, 0},
    {"a write of PHY 3's control", 1, "eth0", 3, 0, 0x2100, 0},
    {"PHY 3's control read back", 0, "eth0", 3, 0, 0x2100, 0},
    {"another interface's bus", 0, "eth1", 0, 2, 0, ENODEV},
    {"a register past 31", 0, "eth0", 0, 32, 0, EINVAL},
};

int main(void) {
  int failed = 0;
  unsetenv("MII_SIM_BOARD");
  for (size_t i = 0; i < sizeof ACCESSES / sizeof ACCESSES[0]; i++) {
    uint16_t value = 0xdead;
    int status = ACCESSES[i].write ? write_call(ACCESSES[i].nic, ACCESSES[i].phy, ACCESSES[i].reg, ACCESSES[i].value)
                                   : read_call(ACCESSES[i].nic, ACCESSES[i].phy, ACCESSES[i].reg, &value);
    if (status != ACCESSES[i].status || (!ACCESSES[i].write && status == 0 && value != ACCESSES[i].value)) {
      printf("FAIL: %s: status %d, value 0x%04x\n", ACCESSES[i].what, status, (unsigned)value);
      failed = 1;
    }
  }
  return failed;
}
