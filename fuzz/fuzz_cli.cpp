// The whole tool on an argument vector, register values and faults from the
// input, in front of the simulated board (libmii.so). Linked with --wrap for
// mdio_read and mdio_write, whose calls from the tool come here and go on to
// the board as __real_mdio_*, and for exit (fuzz/exit_trap.h).
//
// Input: a byte N (argument count, mod 17), N NUL-terminated arguments, then
// a tape deciding each access in turn. A tape byte c: c % 8 == 4 keeps the
// switch busy until the next read command, 5 gives a read the next two bytes
// as its value, 6 fails the access with status 1 + (c >> 3 & 15), 7 with the
// negative of that, and a failed read with c & 0x80 still stores the next
// two bytes. Other bytes, and the end of the tape, let the access go to the
// board; a failed access does not reach it.
//
// Rules checked besides the sanitizers': PHY 0 register 19 is written only
// right after a successful read of it showing the enable bit clear, with that
// value plus the bit; at most the busy poll limit of status reads per read
// command; an exit status some operation gives; exit() only from a failed seek.
#undef NDEBUG
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/exit_trap.h"
#include "lut/lut.h"

extern "C" int __real_mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value); // NOLINT
extern "C" int __real_mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value); // NOLINT

static constexpr int MAX_ARGS = 16;

static const uint8_t *tape = nullptr;
static const uint8_t *tape_end = nullptr;
static bool stuck = false; // the switch stays busy until the next read command
static int polls = 0;      // status reads since the last read command
static int cfg_read = -1;  // what the last access read from PHY 0 register 19 if the enable bit was clear, else -1

static uint8_t take() { return tape < tape_end ? *tape++ : 0; }
static uint16_t take_word() {
  uint16_t high = take();
  return static_cast<uint16_t>(high << 8 | take());
}

static int status_for(uint8_t c) {
  int size = 1 + (c >> 3 & 15);
  return c % 8 == 6 ? size : c % 8 == 7 ? -size : 0;
}

static bool is_cfg(uint16_t phy, int reg) { return phy == LUT_CFG_PHY_ADDR && reg == LUT_REG_CFG; }
static bool is_ctrl(uint16_t phy, int reg) { return phy == LUT_PHY_ADDR && reg == LUT_REG_CTRL; }

// The demo board keeps its state for the whole process: put back what a
// run may have changed, the enable bit and the lookup engine.
static void board_reset() {
  __real_mdio_write("eth0", LUT_CFG_PHY_ADDR, LUT_REG_CFG, 0x0123); // the demo's power-on value
  for (int reg = LUT_REG_DATA3; reg <= LUT_REG_DATA0; reg++) {
    __real_mdio_write("eth0", LUT_PHY_ADDR, reg, 0); // entry 0 latched, data registers clear
  }
  uint16_t ctrl = 0;
  while (__real_mdio_read("eth0", LUT_PHY_ADDR, LUT_REG_CTRL, &ctrl) == 0 && (ctrl & LUT_CTRL_BUSY) != 0) {
  }
}

extern "C" int __wrap_mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) { // NOLINT
  assert(nic != nullptr && cfg_read < 0);
  polls += is_ctrl(phy, reg) ? 1 : 0;
  assert(polls <= LUT_BUSY_POLL_LIMIT);
  uint8_t c = take();
  stuck = stuck || c % 8 == 4;
  int status = status_for(c);
  errno = status != 0 ? EIO : errno;
  if (c % 8 == 5 || (status != 0 && (c & 0x80) != 0)) {
    *value = take_word();
  } else if (status == 0) {
    status = __real_mdio_read(nic, phy, reg, value);
  }
  *value |= status == 0 && stuck && is_ctrl(phy, reg) ? LUT_CTRL_BUSY : 0;
  cfg_read = status == 0 && is_cfg(phy, reg) && (*value & LOOKUP_READ_ENABLE) == 0 ? *value : -1;
  return status;
}

extern "C" int __wrap_mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) { // NOLINT
  assert(nic != nullptr &&
         (is_cfg(phy, reg) ? cfg_read >= 0 && value == (cfg_read | LOOKUP_READ_ENABLE) : cfg_read < 0));
  cfg_read = -1;
  polls = is_ctrl(phy, reg) ? 0 : polls;
  stuck = stuck && !is_ctrl(phy, reg);
  int status = status_for(take());
  errno = status != 0 ? EIO : errno;
  return status != 0 ? status : __real_mdio_write(nic, phy, reg, value);
}

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
  unsetenv("MII_SIM_BOARD"); // the demo board
  FILE *out = std::freopen("/dev/null", "w", stdout);
  assert(out != nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Each argument in a block of exactly its size: reading past it is caught.
  static char program[] = "miictl";
  char *argv[MAX_ARGS + 2] = {program};
  const uint8_t *end = data + size;
  int count = size > 0 ? *data++ % (MAX_ARGS + 1) : 0;
  for (int i = 1; i <= count; i++) {
    const auto *nul = static_cast<const uint8_t *>(std::memchr(data, 0, static_cast<size_t>(end - data)));
    argv[i] = strndup(reinterpret_cast<const char *>(data), static_cast<size_t>((nul != nullptr ? nul : end) - data));
    data = nul != nullptr ? nul + 1 : end;
  }
  tape = data;
  tape_end = end;
  polls = 0;
  board_reset();

  bool exited = false;
  int status = exit_trap_cli_main(count + 1, argv, &exited);
  std::fflush(stdout);
  for (int i = 1; i <= count; i++) {
    std::free(argv[i]);
  }
  assert(cfg_read < 0);
  assert((status <= 15 || status == 254 || status == 255) && (!exited || status == 255));
  return 0;
}
