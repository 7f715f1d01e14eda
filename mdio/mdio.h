// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Register access on the management (MDIO) bus, provided by the board's
// shared library libmii.so. Clause 22 addressing: 5-bit PHY address and
// register number, 16-bit registers. Status 0 is success. The library is a
// C library: this header is its contract in C (C99 and later) and in C++.
#pragma once

#ifdef __cplusplus
#include <cstdint>
extern "C" {
#else
#include <stdint.h>
#endif

// Reads register `reg` of the PHY at `phy` on the bus behind `nic`; on
// status 0 the contents have been stored through `value`.
int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value);

// Writes `value` to register `reg` of the PHY at `phy` on the bus behind `nic`.
int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value);

#ifdef __cplusplus
}
#endif
