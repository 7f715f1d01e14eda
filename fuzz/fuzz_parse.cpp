// The input up to its first NUL as the -i, -p and -m arguments, on top of
// fields an earlier -m left. -i is the text read base 16 and clamped to 32
// bits, -p its low five bits; -m stores the low byte of each field it scans,
// last field first, keeps a field it does not convert, and changes nothing
// for text with nothing to scan.
#undef NDEBUG
#include <cassert>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cli.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // A block of exactly the text's size, so that reading past it is caught.
  char *text = strndup(reinterpret_cast<const char *>(data), size);
  cli_options opts = {};
  unsigned int f[6]; // the fields an earlier -m left, then what sscanf makes of them
  for (int i = 0; i < 6; i++) {
    f[i] = opts.mac_fields[i] = 0x5A5A0000U + static_cast<unsigned>(i);
    opts.mac[i] = static_cast<uint8_t>(0xE0 + i);
  }
  static char program[] = "miictl", opt_i[] = "-i", opt_p[] = "-p", opt_m[] = "-m";
  char *argv[] = {program, opt_i, text, opt_p, text, opt_m, text, nullptr};
  int parsed = cli_parse(7, argv, &opts);
  assert(parsed == 0);

  long long wide = std::strtoll(text, nullptr, 16);
  int32_t index = wide > INT32_MAX ? INT32_MAX : wide < INT32_MIN ? INT32_MIN : static_cast<int32_t>(wide);
  assert(opts.lut_index == index && opts.phyid == (static_cast<uint32_t>(index) & CLI_PHYID_MASK));

  char trailing = 0;
  bool scanned = std::sscanf(text, "%x:%x:%x:%x:%x:%x%c", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &trailing) >= 0;
  assert(std::memcmp(opts.mac_fields, f, sizeof f) == 0);
  for (int i = 0; i < 6; i++) {
    assert(opts.mac[i] == (scanned ? f[5 - i] & 0xFFU : 0xE0U + static_cast<unsigned>(i)));
  }
  std::free(text);
  return 0;
}
