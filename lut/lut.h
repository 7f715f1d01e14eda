// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The switch's address lookup table: 1024 entries, each a source MAC
// address and the physical port it was learnt on, reached only through an
// indirect read protocol on the switch's registers.
#pragma once

#include <cstdint>

// Lookup configuration, PHY address 0.
constexpr uint16_t LUT_CFG_PHY_ADDR = 0;
constexpr int LUT_REG_CFG = 19;                 // lookup configuration
constexpr uint16_t LOOKUP_READ_ENABLE = 0x0800; //   table reads allowed; sticks until reset

// Lookup table access, switch at PHY address 7.
constexpr uint16_t LUT_PHY_ADDR = 7;
constexpr int LUT_REG_CTRL = 16;           // command on write, status on read
constexpr uint16_t LUT_CMD_READ = 0xFFFF;  //   starts an entry read
constexpr uint16_t LUT_CTRL_BUSY = 0x0002; //   set while the switch is busy
constexpr int LUT_REG_DATA3 = 17;          // entry bits 63..48
constexpr int LUT_REG_DATA2 = 18;          // entry address on write, bits 47..32 on read
constexpr int LUT_REG_DATA1 = 19;          // entry bits 31..16
constexpr int LUT_REG_DATA0 = 20;          // entry bits 15..0

constexpr int LUT_ENTRIES = 1024;

// Reads of the busy flag before an entry read gives up with ETIMEDOUT.
// A healthy switch clears it on the first or second read; at >= 25.6 us
// per bus access this bounds a dump of a stuck switch to a few seconds.
constexpr int LUT_BUSY_POLL_LIMIT = 200;

// One table entry: registers 17, 18, 19, 20 from the most significant end.
struct lut_entry {
  uint32_t lo; // register 19 : register 20
  uint32_t hi; // register 17 : register 18
};

// Address word for register 18: index bits 7..0 in bits 15..8, index
// bits 9..8 in bits 1..0; higher index bits are dropped.
constexpr uint16_t lut_address_word(uint16_t index) {
  return static_cast<uint16_t>(((index & 0x00FFU) << 8) | ((index >> 8) & 0x0003U));
}

// Physical port the entry was learnt on: register 17 bits 3..0.
constexpr int lut_entry_port(lut_entry entry) { return static_cast<int>((entry.hi >> 16) & 0x0FU); }

// MAC address byte n (0 = printed first): lo bytes from the bottom, then hi's low two.
constexpr unsigned lut_entry_mac_byte(lut_entry entry, int n) {
  return n < 4 ? (entry.lo >> (8 * n)) & 0xFFU : (entry.hi >> (8 * (n - 4))) & 0xFFU;
}

// Set by -V: also print "enabling lookup reading" and every entry read.
extern int verbose;

// Sets LOOKUP_READ_ENABLE if it is clear; returns the status of the last access.
int lut_enable_reading(const char *nic);

// Reads entry `index` (bits 9..0) into `entry`. Returns 0, or the status of
// the read that failed (ETIMEDOUT if the switch stays busy), with `entry`
// untouched.
int lut_read_entry(const char *nic, uint16_t index, lut_entry *entry);

// Prints "src mac: ... physical port: N 0x<raw>" as one line; returns 0.
int lut_print_entry(lut_entry entry);

// Prints every entry in use, prefixed by its index. Always returns 0.
int lut_read_all(const char *nic);

// Returns the port (0-15) of the entry that `mac` (last byte first) hashes
// to if its first four bytes match, else -2. Ends the process with -1 if
// the entry cannot be read.
int lut_seek_mac(const char *nic, const uint8_t mac[6]);
