// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

#include "lut/lut.h"
#include "phy/phy.h"

int verbose = 0;

// The leading '-' hands back words that are not options in place (as 1)
// instead of letting the C library decide whether to permute them, so they
// are skipped wherever they stand on every libc and under POSIXLY_CORRECT.
constexpr const char *CLI_OPTSTRING = "-o:n:p:i:m:h?V";
constexpr int CLI_NON_OPTION = 1;

constexpr const char *CLI_OPER_NAMES[] = {"read-lut-one", "read-lut-all", "seek-for-mac", "phy-status", "vlan-status"};

constexpr const char *CLI_USAGE = "%s: simple app that allows talking with PHY IC and Realtek 830x switches\n"
                                  "Usage:\n"
                                  "\t%s -o operation -p phyid -r register -v value\n"
                                  "\t\t-o - operation \n"
                                  "\t\t\t- read-lut-one - \n"
                                  "\t\t\t- read-lut-all - \n"
                                  "\t\t\t- seek-for-mac - \n"
                                  "\t\t\t- phy-status   - \n"
                                  "\t\t\t- vlan-status  - \n"
                                  "\t\t-n - network interface controller i.e. eth0\n"
                                  "\t\t-m - mac addr in format xx:xx:xx:xx:xx:xx\n"
                                  "\t\t-p - phyid in hex i.e. 0x4\n"
                                  "\t\t-r - register number in hex i.e. 0x0a\n"
                                  "\t\t-v - value (mandatory for write, set, clear\n";

int32_t cli_parse_hex(const char *text) {
  long value = std::strtol(text, nullptr, 16);
  if (value > INT32_MAX) {
    return INT32_MAX;
  }
  if (value < INT32_MIN) {
    return INT32_MIN;
  }
  return static_cast<int32_t>(value);
}

void cli_parse_mac(const char *text, cli_options *opts) {
  unsigned int *f = opts->mac_fields;
  char trailing = 0; // scanned so that text after the sixth field is accepted, never looked at
  if (std::sscanf(text, "%x:%x:%x:%x:%x:%x%c", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &trailing) < 0) {
    return;
  }
  for (int i = 0; i < 6; i++) {
    opts->mac[i] = static_cast<uint8_t>(f[5 - i] & 0xFFU);
  }
}

// Operation code for `name`, or `current` when it names none.
static int cli_oper_code(const char *name, int current) {
  for (int i = 0; i < static_cast<int>(sizeof CLI_OPER_NAMES / sizeof CLI_OPER_NAMES[0]); i++) {
    if (std::strcmp(name, CLI_OPER_NAMES[i]) == 0) {
      return OPER_READ_LUT_ONE + i;
    }
  }
  return current;
}

int cli_parse(int argc, char **argv, cli_options *opts) {
  optind = 0; // start afresh, whatever parsed before
  int opt = 0;
  while ((opt = getopt(argc, argv, CLI_OPTSTRING)) != -1) {
    switch (opt) {
    case 'o': opts->oper = cli_oper_code(optarg, opts->oper); break;
    case 'n': opts->nic = optarg; break;
    case 'i': opts->lut_index = cli_parse_hex(optarg); break;
    case 'p': opts->phyid = static_cast<uint16_t>(cli_parse_hex(optarg) & CLI_PHYID_MASK); break;
    case 'm': cli_parse_mac(optarg, opts); break;
    case 'V': verbose = 1; break;
    case 'h':
    case '?': return -1;
    case CLI_NON_OPTION: break;
    default: std::puts("Unrecognized option"); std::abort();
    }
  }
  return 0;
}

int vlan_status(const char * /*nic*/) { return 0; }

static int cli_read_lut_one(const char *nic, int32_t lut_index) {
  lut_entry entry = {0, 0};
  if (lut_read_entry(nic, static_cast<uint16_t>(lut_index), &entry) != 0) {
    std::perror("error writing register\n");
    return 1;
  }
  std::printf("0x%08x%08x\n", entry.hi, entry.lo);
  return 0;
}

// Reports a failed operation with the reason the library left in errno.
static int cli_report(int status) {
  if (status != 0) {
    std::perror("error performing operation\n");
  }
  return status;
}

int cli_dispatch(const cli_options *opts) {
  switch (opts->oper) {
  case OPER_READ_LUT_ONE: return cli_read_lut_one(opts->nic, opts->lut_index);
  case OPER_READ_LUT_ALL: lut_read_all(opts->nic); return 0;
  case OPER_SEEK_FOR_MAC: return lut_seek_mac(opts->nic, opts->mac);
  case OPER_PHY_STATUS: return cli_report(phy_status(opts->nic));
  case OPER_VLAN_STATUS: return cli_report(vlan_status(opts->nic));
  default: return 1;
  }
}

int cli_main(int argc, char **argv) {
  verbose = 0;
  cli_options opts = {OPER_NONE, nullptr, 0, 0xFFFF, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};
  if (cli_parse(argc, argv, &opts) != 0) {
    std::printf(CLI_USAGE, argv[0], argv[0]);
    return 0;
  }
  if (opts.oper == OPER_NONE || opts.nic == nullptr) {
    std::puts("one of the arguments is invalid");
    return 1;
  }
  if (verbose) {
    std::printf("DBG oper: %d nic: %s phyid: 0x%04x \n", opts.oper, opts.nic, opts.phyid);
  }
  return cli_dispatch(&opts);
}
