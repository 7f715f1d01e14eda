// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The board file's directives (interface, reg, lut, busy, fault) and the
// reading of a whole file, or of the built-in demo board, into the board.
#include <cerrno>
#include <climits>
#include <cstring>

#include "libmii/sim/board.h"
#include "libmii/sim/demo_board.h" // SIM_DEMO_BOARD: board/demo.board, built in

constexpr struct {
  const char *name;
  int value;
} SIM_ERRNO_NAMES[] = {
    {"EPERM", EPERM},     {"ENOENT", ENOENT},     {"EINTR", EINTR},         {"EIO", EIO},
    {"ENXIO", ENXIO},     {"EAGAIN", EAGAIN},     {"ENOMEM", ENOMEM},       {"EACCES", EACCES},
    {"EFAULT", EFAULT},   {"EBUSY", EBUSY},       {"ENODEV", ENODEV},       {"EINVAL", EINVAL},
    {"ENOTTY", ENOTTY},   {"ENOSYS", ENOSYS},     {"EPROTO", EPROTO},       {"EOPNOTSUPP", EOPNOTSUPP},
    {"ENOTSUP", ENOTSUP}, {"ENETDOWN", ENETDOWN}, {"ETIMEDOUT", ETIMEDOUT}, {"EHOSTUNREACH", EHOSTUNREACH},
};

// The words that follow a fault's head, each once, in any order, with
// their values' ranges; status and errno are required.
constexpr struct {
  const char *key;
  int64_t min;
  int64_t max;
} SIM_FAULT_OPTIONS[] = {{"status", INT_MIN, INT_MAX}, {"errno", 0, INT_MAX}, {"value", 0, 0xFFFF}};
constexpr int SIM_OPT_ERRNO = 1;
constexpr int SIM_OPT_VALUE = 2;

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
  std::memcpy(sim_nic, t[1].data(), t[1].size());
  sim_nic[t[1].size()] = '\0';
  return true;
}

static bool sim_dir_reg(const sim_parser *p, const std::string_view *t, int n) {
  int64_t v[3] = {};
  if (!sim_arity(p, t, n, 4, "reg PHY REG VALUE") || !sim_number(p, t[1], "PHY", 0, BOARD_PHYS - 1, &v[0]) ||
      !sim_number(p, t[2], "register", 0, BOARD_REGS - 1, &v[1]) || !sim_number(p, t[3], "value", 0, 0xFFFF, &v[2])) {
    return false;
  }
  auto phy = static_cast<int>(v[0]);
  auto reg = static_cast<int>(v[1]);
  if (mdio_board_is_engine(phy, reg)) {
    return sim_fail(p, "PHY %d register %d belongs to the lookup engine: set table entries with 'lut'", phy, reg);
  }
  sim_bd.regs[phy][reg] = static_cast<uint16_t>(v[2]);
  return true;
}

static bool sim_dir_lut(const sim_parser *p, const std::string_view *t, int n) {
  int64_t v[3] = {};
  if (!sim_arity(p, t, n, 4, "lut INDEX HI LO") || !sim_number(p, t[1], "index", 0, BOARD_LUT_ENTRIES - 1, &v[0]) ||
      !sim_number(p, t[2], "HI word", 0, 0xFFFFFFFFU, &v[1]) ||
      !sim_number(p, t[3], "LO word", 0, 0xFFFFFFFFU, &v[2])) {
    return false;
  }
  sim_bd.lut[v[0]][0] = static_cast<uint32_t>(v[1]);
  sim_bd.lut[v[0]][1] = static_cast<uint32_t>(v[2]);
  return true;
}

static bool sim_dir_busy(const sim_parser *p, const std::string_view *t, int n) {
  int64_t v = 0;
  if (!sim_arity(p, t, n, 2, "busy N|forever")) {
    return false;
  }
  sim_bd.busy_forever = t[1] == "forever";
  if (!sim_bd.busy_forever && !sim_number(p, t[1], "busy count", 0, 0xFFFFFFFFU, &v)) {
    return false;
  }
  sim_bd.busy_polls = sim_bd.busy_forever ? sim_bd.busy_polls : static_cast<uint32_t>(v);
  return true;
}

// A fault option's value: a number, or for errno one of SIM_ERRNO_NAMES.
static bool sim_fault_value(const sim_parser *p, int opt, std::string_view t, int64_t *out) {
  bool name = opt == SIM_OPT_ERRNO && !t.empty() && t[0] != '-' && t[0] != '+' && (t[0] < '0' || t[0] > '9');
  for (const auto &e : SIM_ERRNO_NAMES) {
    if (name && t == e.name) {
      *out = e.value;
      return true;
    }
  }
  if (name) {
    return sim_fail(p, "unknown errno name '%.*s'", sim_quote_len(t), t.data());
  }
  const auto &o = SIM_FAULT_OPTIONS[opt];
  return sim_number(p, t, o.key, o.min, o.max, out);
}

// `fault read|write PHY REG ...` or `fault access K ...`: the head.
static bool sim_fault_head(const sim_parser *p, const std::string_view *t, int n, board_fault *f) {
  bool access = n >= 2 && t[1] == "access";
  if (!access && (n < 2 || (t[1] != "read" && t[1] != "write"))) {
    return sim_fail(p, "expected 'fault read|write PHY REG ...' or 'fault access K ...'");
  }
  if (n < (access ? 3 : 4)) {
    return sim_fail(p, "missing argument: expected 'fault %.*s %s ...'", static_cast<int>(t[1].size()), t[1].data(),
                    access ? "K" : "PHY REG");
  }
  int64_t v[3] = {};
  f->kind = access ? BOARD_ACCESS : t[1] == "read" ? BOARD_READ : BOARD_WRITE;
  if (access ? !sim_number(p, t[2], "access number", 1, 0xFFFFFFFFU, &v[0])
             : !sim_number(p, t[2], "PHY", 0, BOARD_PHYS - 1, &v[1]) ||
                   !sim_number(p, t[3], "register", 0, BOARD_REGS - 1, &v[2])) {
    return false;
  }
  f->position = static_cast<uint32_t>(v[0]);
  f->phy = static_cast<uint32_t>(v[1]);
  f->reg = static_cast<uint32_t>(v[2]);
  return true;
}

bool sim_fault_directive(const sim_parser *p, const std::string_view *t, int n) {
  board_fault f = {};
  if (sim_bd.fault_count == BOARD_FAULTS_MAX) {
    return sim_fail(p, "more than %d faults", BOARD_FAULTS_MAX);
  }
  if (!sim_fault_head(p, t, n, &f)) {
    return false;
  }
  int64_t v[3] = {};
  unsigned given = 0;
  for (int i = f.kind == BOARD_ACCESS ? 3 : 4; i < n; i += 2) {
    int opt = 0;
    while (opt < 3 && t[i] != SIM_FAULT_OPTIONS[opt].key) {
      opt++;
    }
    if (opt == 3) {
      return sim_fail(p, "unknown fault option '%.*s'", sim_quote_len(t[i]), t[i].data());
    }
    const char *key = SIM_FAULT_OPTIONS[opt].key;
    if ((given & (1U << opt)) != 0) {
      return sim_fail(p, "'%s' given twice", key);
    }
    if (i + 1 >= n) {
      return sim_fail(p, "missing argument: expected '%s' and its value", key);
    }
    if (opt == SIM_OPT_VALUE && f.kind == BOARD_WRITE) {
      return sim_fail(p, "'value' is for read faults only");
    }
    if (!sim_fault_value(p, opt, t[i + 1], &v[opt])) {
      return false;
    }
    given |= 1U << opt;
  }
  if ((given & 3U) != 3U) {
    return sim_fail(p, "missing argument: a fault needs 'status S errno E'");
  }
  f.status = static_cast<int32_t>(v[0]);
  f.err = static_cast<int32_t>(v[SIM_OPT_ERRNO]);
  f.has_value = (given >> SIM_OPT_VALUE) & 1U;
  f.value = static_cast<uint32_t>(v[SIM_OPT_VALUE]);
  sim_bd.faults[sim_bd.fault_count++] = f;
  return true;
}

static bool sim_parse_line(const sim_parser *p, const char *line) {
  std::string_view t[SIM_WORDS_MAX];
  int n = sim_words(line, t);
  if (n < 0) {
    return sim_fail(p, "more than %d words", SIM_WORDS_MAX);
  }
  // Plain calls rather than a table of function pointers: an indirect call
  // would need the C++ runtime of the undefined-behaviour sanitizer, and the
  // library is linked as C.
  if (n == 0) {
    return true;
  }
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

bool sim_load_board(const char *path) {
  mdio_board_clear(&sim_bd);
  std::memcpy(sim_nic, "eth0", sizeof "eth0");
  sim_reader r = {};
  if (path == nullptr || *path == '\0') {
    r.text = SIM_DEMO_BOARD;
    path = "board/demo.board";
  } else if (std::strlen(path) >= sizeof sim_rn.path) {
    std::fprintf(stderr, "libmii-sim: %.64s...: %s\n", path, std::strerror(ENAMETOOLONG));
    return false;
  } else {
    std::memcpy(sim_rn.path, path, std::strlen(path) + 1);
  }
  while (sim_reader_next(&r, path)) {
    r.failed = !sim_parse_line(&r.at, r.line);
    sim_rn.open_line = r.line[std::strlen(r.line) - 1] != '\n';
  }
  sim_rn.regular = r.regular;
  return !r.failed;
}
