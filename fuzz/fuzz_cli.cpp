// The whole tool on an argument vector and a bus taken from the input.
//
// Input: one byte N (argument count, mod 17), then N NUL-terminated
// arguments (missing ones are empty), then a tape that decides each bus
// access in turn. A tape byte c: c % 8 == 5 gives a read the next two tape
// bytes as its value, 6 fails the access with status 1 + (c >> 3 & 15),
// 7 with the negative of that; a failed read with c & 0x80 still stores
// the next two tape bytes. Anything else, and every access once the tape
// is used up, goes to the demo board (tests/board_mdio.h).
//
// Besides the sanitizers' checks, a run stops with a trap when the tool
// breaks one of its rules: PHY 0 register 19 written other than with the
// value just read successfully plus the enable bit, a status no operation
// can end with, exit() from anything but a failed seek, or more accesses
// than the busy poll limit allows.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cli.h"
#include "lut/lut.h"
#include "mdio/mdio.h"
#include "tests/board_mdio.h"
#include "tests/exit_trap.h"

namespace {

constexpr int MAX_ARGS = 16;
constexpr unsigned long MAX_ACCESSES = LUT_ENTRIES * (2 + 2 + LUT_BUSY_POLL_LIMIT + 4);

const uint8_t *tape = nullptr;
const uint8_t *tape_end = nullptr;

uint8_t take() { return tape < tape_end ? *tape++ : 0; }

uint16_t take_word() {
  uint16_t high = take();
  return static_cast<uint16_t>(high << 8 | take());
}

int status_for(uint8_t c) {
  int size = 1 + (c >> 3 & 15);
  return c % 8 == 6 ? size : c % 8 == 7 ? -size : 0;
}

void check(bool rule) {
  if (!rule) {
    __builtin_trap();
  }
}

// The access before the current one, for the enable rule.
struct {
  bool cfg_read_clear; // a successful read of PHY 0 register 19 that showed the bit clear
  uint16_t value;
} last = {false, 0};

bool is_cfg(uint16_t phy, int reg) { return phy == LUT_CFG_PHY_ADDR && reg == LUT_REG_CFG; }

} // namespace

extern "C" int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  check(nic != nullptr && !last.cfg_read_clear);
  uint16_t board = board_read(phy, reg);
  uint8_t c = take();
  int status = status_for(c);
  if (status == 0) {
    *value = c % 8 == 5 ? take_word() : board;
  } else if ((c & 0x80) != 0) {
    *value = take_word();
  }
  last = {status == 0 && is_cfg(phy, reg) && (*value & LOOKUP_READ_ENABLE) == 0, *value};
  errno = status == 0 ? errno : EIO;
  return status;
}

extern "C" int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) {
  check(nic != nullptr);
  if (is_cfg(phy, reg)) {
    check(last.cfg_read_clear && value == (last.value | LOOKUP_READ_ENABLE));
  } else {
    check(!last.cfg_read_clear);
  }
  last = {false, 0};
  board_write(phy, reg, value);
  int status = status_for(take());
  errno = status == 0 ? errno : EIO;
  return status;
}

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
  check(std::freopen("/dev/null", "w", stdout) != nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Each argument gets a block of exactly its size, so that reading past
  // its end is caught.
  static char program[] = "miictl";
  char *argv[MAX_ARGS + 2] = {program};
  const uint8_t *at = data;
  const uint8_t *end = data + size;
  int count = size > 0 ? *at++ % (MAX_ARGS + 1) : 0;
  for (int i = 1; i <= count; i++) {
    const uint8_t *nul = at;
    while (nul < end && *nul != 0) {
      nul++;
    }
    auto length = static_cast<size_t>(nul - at);
    argv[i] = static_cast<char *>(std::malloc(length + 1));
    std::memcpy(argv[i], at, length);
    argv[i][length] = 0;
    at = nul < end ? nul + 1 : end;
  }
  argv[count + 1] = nullptr;
  tape = at;
  tape_end = end;
  board_reset();
  last = {false, 0};

  bool exited = false;
  int status = exit_trap_cli_main(count + 1, argv, &exited);
  std::fflush(stdout);
  for (int i = 1; i <= count; i++) {
    std::free(argv[i]);
  }

  check(!last.cfg_read_clear);
  check(status <= 15 || status == 254 || status == 255);
  check(!exited || status == 255);
  check(board_accesses() <= MAX_ACCESSES);
  return 0;
}
