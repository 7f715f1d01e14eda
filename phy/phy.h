// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Speed, duplex and link of the PHYs on the management bus, from the
// clause 22 basic control and status registers.
#pragma once

#include <cstdint>

constexpr uint16_t PHY_ADDR_FIRST = 0;
constexpr uint16_t PHY_ADDR_LAST = 8;

constexpr int PHY_REG_BMCR = 0;                // basic control
constexpr uint16_t PHY_BMCR_DUPLEX = 0x0100;   //   full duplex
constexpr uint16_t PHY_BMCR_ANENABLE = 0x1000; //   auto-negotiation enabled
constexpr uint16_t PHY_BMCR_SPEED100 = 0x2000; //   100 Mb/s (clear: 10 Mb/s)
constexpr int PHY_REG_BMSR = 1;                // basic status
constexpr uint16_t PHY_BMSR_LSTATUS = 0x0004;  //   link up

// Prints one line per PHY 0-8. Returns 0, or 1 as soon as a read fails
// with a positive status (a negative status is not treated as a failure).
int phy_status(const char *nic);
