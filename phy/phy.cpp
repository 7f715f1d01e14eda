// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
#include "phy/phy.h"

#include <cstdio>

#include "mdio/mdio.h"

// How a bit of the control or status register is shown; the words are
// padded to one width so the columns line up.
struct phy_bit_text {
  uint16_t mask;
  const char *set;
  const char *clear;
};

constexpr phy_bit_text PHY_AUTONEG = {PHY_BMCR_ANENABLE, "enabled ", "disabled"};
constexpr phy_bit_text PHY_DUPLEX = {PHY_BMCR_DUPLEX, "full", "half"};
constexpr phy_bit_text PHY_LINK = {PHY_BMSR_LSTATUS, "yes", "no "};

static const char *phy_text(phy_bit_text bit, uint16_t value) { return (value & bit.mask) != 0 ? bit.set : bit.clear; }

// Reads a register into `value`, which is 0 unless the read succeeded: a
// failed read may still have stored something through the pointer.
static int phy_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  uint16_t read = 0;
  int status = mdio_read(nic, phy, reg, &read);
  *value = status == 0 ? read : 0;
  return status;
}

int phy_status(const char *nic) {
  for (uint16_t phy = PHY_ADDR_FIRST; phy <= PHY_ADDR_LAST; phy++) {
    // A read with a negative status still prints its line, and must not
    // show a stale or undefined value, nor one the library left behind.
    uint16_t bmcr = 0;
    uint16_t bmsr = 0;
    if (phy_read(nic, phy, PHY_REG_BMCR, &bmcr) > 0 || phy_read(nic, phy, PHY_REG_BMSR, &bmsr) > 0) {
      return 1;
    }
    std::printf("PHY %d: Autoneg: %s\t speed: %d\t duplex: %s\t link detected: %s\n", phy, phy_text(PHY_AUTONEG, bmcr),
                (bmcr & PHY_BMCR_SPEED100) != 0 ? 100 : 10, phy_text(PHY_DUPLEX, bmcr), phy_text(PHY_LINK, bmsr));
  }
  return 0;
}
