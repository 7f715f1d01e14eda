// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The library's contract in C: a C99 program (the build holds it to the
// standard, extensions off) includes mdio/mdio.h, takes the two calls with
// the types the board's library has, and makes accesses through them on the
// simulated board's demo board, linked as a board vendor's program links
// libmii.so: each gives the status and value that board has for it.
// Exits non-zero on a difference.
#define _POSIX_C_SOURCE 200112L // NOLINT(bugprone-reserved-identifier): for unsetenv
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include "mdio/mdio.h"

static int (*const read_call)(const char *, uint16_t, int, uint16_t *) = mdio_read;
static int (*const write_call)(const char *, uint16_t, int, uint16_t) = mdio_write;

enum access { READ, WRITE };

static const struct {
  const char *what;
  const char *nic;
  int reg;
  int status;
  enum access access;
  uint16_t phy;
  uint16_t value; // written, or read when the status is 0
} ACCESSES[] = {
    {.what = "PHY 0's first identifier", .access = READ, .nic = "eth0", .phy = 0, .reg = 2, .value = 0x0022},
    {.what = "PHY 5's second identifier", .access = READ, .nic = "eth0", .phy = 5, .reg = 3, .value = 0xc0f1},
    {.what = "a write of PHY 3's control", .access = WRITE, .nic = "eth0", .phy = 3, .reg = 0, .value = 0x2100},
    {.what = "PHY 3's control read back", .access = READ, .nic = "eth0", .phy = 3, .reg = 0, .value = 0x2100},
    {.what = "another interface's bus", .access = READ, .nic = "eth1", .phy = 0, .reg = 2, .status = ENODEV},
    {.what = "a register past 31", .access = READ, .nic = "eth0", .phy = 0, .reg = 32, .status = EINVAL},
};

int main(void) {
  int failed = 0;
  unsetenv("MII_SIM_BOARD");
  for (size_t i = 0; i < sizeof ACCESSES / sizeof ACCESSES[0]; i++) {
    uint16_t value = 0xdead;
    int status = ACCESSES[i].access == WRITE
                     ? write_call(ACCESSES[i].nic, ACCESSES[i].phy, ACCESSES[i].reg, ACCESSES[i].value)
                     : read_call(ACCESSES[i].nic, ACCESSES[i].phy, ACCESSES[i].reg, &value);
    if (status != ACCESSES[i].status || (ACCESSES[i].access == READ && status == 0 && value != ACCESSES[i].value)) {
      printf("FAIL: %s: status %d, value 0x%04x\n", ACCESSES[i].what, status, (unsigned)value);
      failed = 1;
    }
  }
  return failed;
}
