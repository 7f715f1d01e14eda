// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// mdioprobe NIC PHY REG [VALUE]: one read (printed as 0xVVVV) or one write
// through libmii.so, so the VM checks can write a register and read it
// back, which the tool itself never does. A failed access prints its
// reason and exits 1.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value);
int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value);

int main(int argc, char **argv) {
  if (argc != 4 && argc != 5) {
    return 2;
  }
  uint16_t phy = (uint16_t)strtoul(argv[2], NULL, 0);
  int reg = (int)strtol(argv[3], NULL, 0);
  uint16_t value = argc == 5 ? (uint16_t)strtoul(argv[4], NULL, 0) : 0;
  int status = argc == 5 ? mdio_write(argv[1], phy, reg, value) : mdio_read(argv[1], phy, reg, &value);
  if (status != 0) {
    printf("%s\n", strerror(status));
    return 1;
  }
  if (argc == 4) {
    printf("0x%04x\n", value);
  }
  return 0;
}
