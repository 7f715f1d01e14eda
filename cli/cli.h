// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Command line: options, the argument check, dispatch of the one operation
// and the exit status a calling script sees.
#pragma once

#include <cstdint>

constexpr int OPER_NONE = 0;
constexpr int OPER_READ_LUT_ONE = 1;
constexpr int OPER_READ_LUT_ALL = 2;
constexpr int OPER_SEEK_FOR_MAC = 3;
constexpr int OPER_PHY_STATUS = 4;
constexpr int OPER_VLAN_STATUS = 5;

constexpr uint16_t CLI_PHYID_MASK = 0x1F; // clause 22 PHY addresses are 5 bits

// What the options gathered. `nic` points into the argument vector.
struct cli_options {
  int oper;
  const char *nic;
  int32_t lut_index;
  uint16_t phyid;
  uint8_t mac[6];             // last field typed first
  unsigned int mac_fields[6]; // what -m scanned, first field first; kept between -m options
};

// Parses the argument vector into `opts`. Returns 0 when the options were
// read to their end, or -1 when the usage text is to be printed instead
// (-h, -?, or an option the parser rejected).
int cli_parse(int argc, char **argv, cli_options *opts);

// A -i or -p argument: base 16 as strtol reads it, clamped to 32 bits.
int32_t cli_parse_hex(const char *text);

// A -m argument: up to six colon-separated hex fields; empty text changes nothing.
void cli_parse_mac(const char *text, cli_options *opts);

// Runs the operation in `opts` and returns the process's exit status.
int cli_dispatch(const cli_options *opts);

// The whole tool: parse, check, dispatch, report. Returns the exit status.
int cli_main(int argc, char **argv);

// Accepted for scripts that ask; the switch's VLANs are not reported.
int vlan_status(const char *nic);
