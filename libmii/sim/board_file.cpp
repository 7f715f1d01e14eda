// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The board file's directives (interface, reg, lut, busy; fault is the fault
// room's) and the reading of a whole file into the board.
#include "libmii/sim/board_file.h"

#include <cerrno>
#include <cstring>

#include "libmii/sim/board.h"
#include "libmii/sim/fault.h"
#include "libmii/sim/words.h"

// Checks that a directive has exactly `want` words, itself included.
static bool sim_arity(const sim_parser *p, const std::string_view *t, int n, int want, const char *usage) {
  if (n < want) {
    return sim_fail(p, "missing argument: expected '%s'", usage);
  }
  if (n > want) {
    return sim_fail(p, "extra token '%.*s' after '%s'", sim_quote_len(t[want]), t[want].data(), usage);
  }
  return true;
}

static bool sim_dir_interface(const sim_parser *p, const std::string_view *t, int n) {
  if (!sim_arity(p, t, n, 2, "interface NAME")) {
    return false;
  }
  if (t[1].size() > SIM_NAME_MAX) {
    return sim_fail(p, "interface name '%.*s' longer than %d characters", sim_quote_len(t[1]), t[1].data(),
                    SIM_NAME_MAX);
  }
  std::memcpy(sim_bd.nic, t[1].data(), t[1].size());
  sim_bd.nic[t[1].size()] = '\0';
  return true;
}

static bool sim_dir_reg(const sim_parser *p, const std::string_view *t, int n) {
  uint32_t phy = 0;
  uint32_t reg = 0;
  uint32_t value = 0;
  if (!sim_arity(p, t, n, 4, "reg PHY REG VALUE") || !sim_number(p, t[1], "PHY", 0, SIM_PHYS - 1, &phy) ||
      !sim_number(p, t[2], "register", 0, SIM_REGS - 1, &reg) || !sim_number(p, t[3], "value", 0, 0xFFFF, &value)) {
    return false;
  }
  if (sim_is_engine(static_cast<uint16_t>(phy), static_cast<int>(reg))) {
    return sim_fail(p, "PHY %u register %u belongs to the lookup engine: set table entries with 'lut'", phy, reg);
  }
  sim_bd.regs[phy][reg] = static_cast<uint16_t>(value);
  return true;
}

static bool sim_dir_lut(const sim_parser *p, const std::string_view *t, int n) {
  uint32_t index = 0;
  uint32_t hi = 0;
  uint32_t lo = 0;
  if (!sim_arity(p, t, n, 4, "lut INDEX HI LO") || !sim_number(p, t[1], "index", 0, SIM_LUT_ENTRIES - 1, &index) ||
      !sim_number(p, t[2], "HI word", 0, 0xFFFFFFFFU, &hi) || !sim_number(p, t[3], "LO word", 0, 0xFFFFFFFFU, &lo)) {
    return false;
  }
  sim_bd.lut_hi[index] = hi;
  sim_bd.lut_lo[index] = lo;
  return true;
}

static bool sim_dir_busy(const sim_parser *p, const std::string_view *t, int n) {
  if (!sim_arity(p, t, n, 2, "busy N|forever")) {
    return false;
  }
  sim_bd.busy_forever = t[1] == "forever";
  return sim_bd.busy_forever || sim_number(p, t[1], "busy count", 0, 0xFFFFFFFFU, &sim_bd.busy_polls);
}

static bool sim_parse_line(const sim_parser *p, const char *line) {
  std::string_view t[SIM_WORDS_MAX];
  int n = sim_words(line, t);
  if (n < 0) {
    return sim_fail(p, "more than %d words", SIM_WORDS_MAX);
  }
  if (n == 0) {
    return true;
  }
  // Plain calls rather than a table of function pointers: an indirect call
  // would need the C++ runtime of the undefined-behaviour sanitizer, and the
  // library is linked as C.
  if (t[0] == "interface") {
    return sim_dir_interface(p, t, n);
  }
  if (t[0] == "reg") {
    return sim_dir_reg(p, t, n);
  }
  if (t[0] == "lut") {
    return sim_dir_lut(p, t, n);
  }
  if (t[0] == "busy") {
    return sim_dir_busy(p, t, n);
  }
  if (t[0] == "fault") {
    return sim_fault_directive(p, t, n);
  }
  return sim_fail(p, "unknown directive '%.*s'", sim_quote_len(t[0]), t[0].data());
}

bool sim_load_file(const char *path) {
  if (std::strlen(path) >= sizeof sim_rn.path) {
    std::fprintf(stderr, "libmii-sim: %.64s...: %s\n", path, std::strerror(ENAMETOOLONG));
    return false;
  }
  std::memcpy(sim_rn.path, path, std::strlen(path) + 1);
  sim_rn.from_file = true;
  sim_reader r = {};
  while (sim_reader_next(&r, path)) {
    r.failed = !sim_parse_line(&r.at, r.line);
  }
  return !r.failed;
}
