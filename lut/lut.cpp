// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
#include "lut/lut.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "mdio/mdio.h"

int lut_enable_reading(const char *nic) {
  uint16_t cfg = 0;
  int status = mdio_read(nic, LUT_CFG_PHY_ADDR, LUT_REG_CFG, &cfg);
  // Write back only a value that was really read: a guess would clobber
  // the register's other bits.
  if (status != 0 || (cfg & LOOKUP_READ_ENABLE) != 0) {
    return status;
  }
  if (verbose) {
    std::puts("enabling lookup reading");
  }
  return mdio_write(nic, LUT_CFG_PHY_ADDR, LUT_REG_CFG, cfg | LOOKUP_READ_ENABLE);
}

// Waits for the switch to finish the read command: 0 when it has, the
// failing read's status, or ETIMEDOUT if it never does.
static int lut_wait_ready(const char *nic) {
  for (int poll = 0; poll < LUT_BUSY_POLL_LIMIT; poll++) {
    uint16_t ctrl = 0;
    int status = mdio_read(nic, LUT_PHY_ADDR, LUT_REG_CTRL, &ctrl);
    if (status != 0) {
      return status;
    }
    if ((ctrl & LUT_CTRL_BUSY) == 0) {
      return 0;
    }
  }
  errno = ETIMEDOUT;
  return ETIMEDOUT;
}

int lut_read_entry(const char *nic, uint16_t index, lut_entry *entry) {
  // The enable step and the two writes report nothing useful: a failure
  // there shows up in the reads that follow.
  lut_enable_reading(nic);
  mdio_write(nic, LUT_PHY_ADDR, LUT_REG_DATA2, lut_address_word(index));
  mdio_write(nic, LUT_PHY_ADDR, LUT_REG_CTRL, LUT_CMD_READ);

  int status = lut_wait_ready(nic);
  if (status != 0) {
    return status;
  }
  uint16_t data0 = 0;
  uint16_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  if ((status = mdio_read(nic, LUT_PHY_ADDR, LUT_REG_DATA0, &data0)) != 0 ||
      (status = mdio_read(nic, LUT_PHY_ADDR, LUT_REG_DATA1, &data1)) != 0 ||
      (status = mdio_read(nic, LUT_PHY_ADDR, LUT_REG_DATA2, &data2)) != 0 ||
      (status = mdio_read(nic, LUT_PHY_ADDR, LUT_REG_DATA3, &data3)) != 0) {
    return status;
  }
  lut_entry read = {static_cast<uint32_t>(data1) << 16 | data0, static_cast<uint32_t>(data3) << 16 | data2};
  if (verbose) {
    std::printf("0x%08x%08x\n", read.hi, read.lo);
  }
  *entry = read;
  return 0;
}

int lut_print_entry(lut_entry entry) {
  std::printf("src mac: %02x:%02x:%02x:%02x:%02x:%02x physical port: %d ", lut_entry_mac_byte(entry, 0),
              lut_entry_mac_byte(entry, 1), lut_entry_mac_byte(entry, 2), lut_entry_mac_byte(entry, 3),
              lut_entry_mac_byte(entry, 4), lut_entry_mac_byte(entry, 5), lut_entry_port(entry));
  std::printf("0x%08x%08x\n", entry.hi, entry.lo);
  return 0;
}

int lut_read_all(const char *nic) {
  for (int index = 0; index < LUT_ENTRIES; index++) {
    lut_entry entry = {0, 0};
    if (lut_read_entry(nic, static_cast<uint16_t>(index), &entry) != 0) {
      std::printf("Error reading entry no %d\n", index);
      continue;
    }
    if (entry.lo == 0) {
      continue; // empty: only the MAC's first four bytes mark an entry in use
    }
    std::printf("%d ", index);
    lut_print_entry(entry);
  }
  return 0;
}

int lut_seek_mac(const char *nic, const uint8_t mac[6]) {
  // mac[0] is the address's last byte: the switch hashes the last byte and
  // the low two bits of the one before it into the entry index.
  auto index = static_cast<uint16_t>((mac[1] & 0x03U) << 8 | mac[0]);
  uint32_t key = static_cast<uint32_t>(mac[2]) << 24 | static_cast<uint32_t>(mac[3]) << 16 |
                 static_cast<uint32_t>(mac[4]) << 8 | mac[5];
  lut_entry entry = {0, 0};
  if (lut_read_entry(nic, index, &entry) != 0) {
    std::puts("-1");
    std::exit(-1);
  }
  return entry.lo == key ? lut_entry_port(entry) : -2;
}
