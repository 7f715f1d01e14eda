// The -i, -p and -m arguments: the input (up to its first NUL) is given to
// all three through the option parser, on top of values an earlier -m left.
//
// Checked: -i is strtoll base 16 clamped to 32 bits, -p its low five bits;
// -m stores the low byte of each scanned field last field first, and a
// field it does not convert keeps the earlier value; text with nothing to
// scan changes nothing.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cli.h"
#include "mdio/mdio.h"

namespace {

void check(bool rule) {
  if (!rule) {
    __builtin_trap();
  }
}

} // namespace

// Parsing never reaches the bus.
extern "C" int mdio_read(const char * /*nic*/, uint16_t /*phy*/, int /*reg*/, uint16_t * /*value*/) {
  __builtin_trap();
}
extern "C" int mdio_write(const char * /*nic*/, uint16_t /*phy*/, int /*reg*/, uint16_t /*value*/) { __builtin_trap(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // A block of exactly the text's size, so that reading past it is caught.
  const auto *nul = static_cast<const uint8_t *>(std::memchr(data, 0, size));
  size_t length = nul != nullptr ? static_cast<size_t>(nul - data) : size;
  char *text = static_cast<char *>(std::malloc(length + 1));
  std::memcpy(text, data, length);
  text[length] = 0;

  cli_options opts = {};
  for (int i = 0; i < 6; i++) {
    opts.mac_fields[i] = 0x5A5A0000U + static_cast<unsigned>(i) * 0x111U + static_cast<unsigned>(length);
    opts.mac[i] = static_cast<uint8_t>(0xE0 + i);
  }
  const cli_options before = opts;
  static char program[] = "miictl";
  static char opt_i[] = "-i";
  static char opt_p[] = "-p";
  static char opt_m[] = "-m";
  char *argv[] = {program, opt_i, text, opt_p, text, opt_m, text, nullptr};
  check(cli_parse(7, argv, &opts) == 0);

  long long wide = std::strtoll(text, nullptr, 16);
  int32_t index = wide > INT32_MAX ? INT32_MAX : wide < INT32_MIN ? INT32_MIN : static_cast<int32_t>(wide);
  check(cli_parse_hex(text) == index);
  check(opts.lut_index == index);
  check(opts.phyid == (static_cast<uint32_t>(index) & CLI_PHYID_MASK));

  unsigned int fields[6];
  std::memcpy(fields, before.mac_fields, sizeof fields);
  char trailing = 0;
  int scanned = std::sscanf(text, "%x:%x:%x:%x:%x:%x%c", &fields[0], &fields[1], &fields[2], &fields[3], &fields[4],
                            &fields[5], &trailing);
  if (scanned < 0) {
    check(std::memcmp(opts.mac, before.mac, sizeof opts.mac) == 0);
    check(std::memcmp(opts.mac_fields, before.mac_fields, sizeof opts.mac_fields) == 0);
  } else {
    check(std::memcmp(opts.mac_fields, fields, sizeof fields) == 0);
    for (int i = 0; i < 6; i++) {
      check(opts.mac[i] == (fields[5 - i] & 0xFFU));
    }
  }
  std::free(text);
  return 0;
}
