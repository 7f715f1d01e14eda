// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The board file: its directives (interface, reg, lut, busy, fault), the
// reading of a whole file, or of the built-in demo board, into the board,
// and saving. A write that changes a plain register appends a `reg` line
// with the new value to the file, which the next run reads after the
// file's earlier lines for that register, as the switch keeps what was
// written, as a new file renamed over the old (save.cpp) that keeps its
// owner and permission bits (less set-user-ID and set-group-ID). A board
// that is not a regular file (a pipe, a FIFO, a device) is used for the
// run and never written.
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>

#include "libmii/sim/board.h"
#include "libmii/sim/demo_board.h" // SIM_DEMO_BOARD: board/demo.board, built in

// The board file of the run.
static struct {
  const char *path; // null: the built-in demo board, never saved
  bool regular;     // the board was read from a regular file
  struct stat st;   // that file's status, as saving leaves it
  bool open_line;   // the file's last line has no newline
  bool unsaved;     // saving failed and said so: no more tries
} sim_rn;

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
constexpr int SIM_OPTS = 3;

// Checks that a directive has exactly `want` words, itself included.
static bool sim_arity(const sim_reader *r, int want, const char *usage) {
  if (r->n < want) {
    return sim_fail(r, "missing argument: expected '%s'", usage);
  }
  if (r->n > want) {
    return sim_fail(r, "extra token '%.*s' after '%s'", sim_quote_len(r->w[want]), r->w[want].data(), usage);
  }
  return true;
}

static bool sim_dir_interface(const sim_reader *r) {
  if (!sim_arity(r, 2, "interface NAME")) {
    return false;
  }
  std::string_view name = r->w[1];
  if (name.size() > SIM_NAME_MAX) {
    return sim_fail(r, "interface name '%.*s' longer than %d characters", sim_quote_len(name), name.data(),
                    SIM_NAME_MAX);
  }
  std::memcpy(sim_nic, name.data(), name.size());
  sim_nic[name.size()] = '\0';
  return true;
}

static bool sim_dir_reg(const sim_reader *r) {
  int64_t v[3] = {};
  if (!sim_arity(r, 4, "reg PHY REG VALUE") || !sim_number(r, r->w[1], "PHY", 0, BOARD_PHYS - 1, &v[0]) ||
      !sim_number(r, r->w[2], "register", 0, BOARD_REGS - 1, &v[1]) ||
      !sim_number(r, r->w[3], "value", 0, 0xFFFF, &v[2])) {
    return false;
  }
  auto phy = static_cast<int>(v[0]);
  auto reg = static_cast<int>(v[1]);
  if (mdio_board_is_engine(phy, reg)) {
    return sim_fail(r, "PHY %d register %d belongs to the lookup engine: set table entries with 'lut'", phy, reg);
  }
  sim_bd.regs[phy][reg] = static_cast<uint16_t>(v[2]);
  return true;
}

static bool sim_dir_lut(const sim_reader *r) {
  int64_t v[3] = {};
  if (!sim_arity(r, 4, "lut INDEX HI LO") || !sim_number(r, r->w[1], "index", 0, BOARD_LUT_ENTRIES - 1, &v[0]) ||
      !sim_number(r, r->w[2], "HI word", 0, 0xFFFFFFFFU, &v[1]) ||
      !sim_number(r, r->w[3], "LO word", 0, 0xFFFFFFFFU, &v[2])) {
    return false;
  }
  sim_bd.lut[v[0]][0] = static_cast<uint32_t>(v[1]);
  sim_bd.lut[v[0]][1] = static_cast<uint32_t>(v[2]);
  return true;
}

static bool sim_dir_busy(const sim_reader *r) {
  int64_t v = sim_bd.busy_polls;
  if (!sim_arity(r, 2, "busy N|forever")) {
    return false;
  }
  sim_bd.busy_forever = r->w[1] == "forever";
  if (!sim_bd.busy_forever && !sim_number(r, r->w[1], "busy count", 0, 0xFFFFFFFFU, &v)) {
    return false;
  }
  sim_bd.busy_polls = static_cast<uint32_t>(v);
  return true;
}

// A fault option's value: a number, or for errno one of SIM_ERRNO_NAMES.
static bool sim_fault_value(const sim_reader *r, int opt, std::string_view t, int64_t *out) {
  const auto &o = SIM_FAULT_OPTIONS[opt];
  if (opt != SIM_OPT_ERRNO || std::strchr("+-0123456789", t[0]) != nullptr) {
    return sim_number(r, t, o.key, o.min, o.max, out);
  }
  for (const auto &e : SIM_ERRNO_NAMES) {
    if (t == e.name) {
      *out = e.value;
      return true;
    }
  }
  return sim_fail(r, "unknown errno name '%.*s'", sim_quote_len(t), t.data());
}

// `fault read|write PHY REG ...` or `fault access K ...`: the head.
static bool sim_fault_head(const sim_reader *r, board_fault *f) {
  const std::string_view *t = r->w;
  bool access = r->n >= 2 && t[1] == "access";
  if (!access && (r->n < 2 || (t[1] != "read" && t[1] != "write"))) {
    return sim_fail(r, "expected 'fault read|write PHY REG ...' or 'fault access K ...'");
  }
  if (r->n < (access ? 3 : 4)) {
    return sim_fail(r, "missing argument: expected 'fault %.*s %s ...'", static_cast<int>(t[1].size()), t[1].data(),
                    access ? "K" : "PHY REG");
  }
  int64_t v[3] = {};
  f->kind = access ? BOARD_ACCESS : t[1] == "read" ? BOARD_READ : BOARD_WRITE;
  if (access ? !sim_number(r, t[2], "access number", 1, 0xFFFFFFFFU, &v[0])
             : !sim_number(r, t[2], "PHY", 0, BOARD_PHYS - 1, &v[1]) ||
                   !sim_number(r, t[3], "register", 0, BOARD_REGS - 1, &v[2])) {
    return false;
  }
  f->position = static_cast<uint32_t>(v[0]);
  f->phy = static_cast<uint32_t>(v[1]);
  f->reg = static_cast<uint32_t>(v[2]);
  return true;
}

static bool sim_dir_fault(const sim_reader *r) {
  board_fault f = {};
  if (sim_bd.fault_count == BOARD_FAULTS_MAX) {
    return sim_fail(r, "more than %d faults", BOARD_FAULTS_MAX);
  }
  if (!sim_fault_head(r, &f)) {
    return false;
  }
  int64_t v[SIM_OPTS] = {};
  unsigned given = 0;
  for (int i = f.kind == BOARD_ACCESS ? 3 : 4; i < r->n; i += 2) {
    int opt = 0;
    while (opt < SIM_OPTS && r->w[i] != SIM_FAULT_OPTIONS[opt].key) {
      opt++;
    }
    if (opt == SIM_OPTS) {
      return sim_fail(r, "unknown fault option '%.*s'", sim_quote_len(r->w[i]), r->w[i].data());
    }
    const char *key = SIM_FAULT_OPTIONS[opt].key;
    if ((given & (1U << opt)) != 0) {
      return sim_fail(r, "'%s' given twice", key);
    }
    if (i + 1 >= r->n) {
      return sim_fail(r, "missing argument: expected '%s' and its value", key);
    }
    if (opt == SIM_OPT_VALUE && f.kind == BOARD_WRITE) {
      return sim_fail(r, "'value' is for read faults only");
    }
    if (!sim_fault_value(r, opt, r->w[i + 1], &v[opt])) {
      return false;
    }
    given |= 1U << opt;
  }
  if ((given & 3U) != 3U) {
    return sim_fail(r, "missing argument: a fault needs 'status S errno E'");
  }
  f.status = static_cast<int32_t>(v[0]);
  f.err = static_cast<int32_t>(v[SIM_OPT_ERRNO]);
  f.has_value = (given >> SIM_OPT_VALUE) & 1U;
  f.value = static_cast<uint32_t>(v[SIM_OPT_VALUE]);
  sim_bd.faults[sim_bd.fault_count++] = f;
  return true;
}

// Plain calls rather than a table of function pointers: an indirect call
// would need the C++ runtime of the undefined-behaviour sanitizer, and the
// library is linked as C.
static bool sim_parse_line(const sim_reader *r) {
  std::string_view d = r->n > 0 ? r->w[0] : "";
  return r->n < 0           ? sim_fail(r, "more than %d words", SIM_WORDS_MAX)
         : r->n == 0        ? true
         : d == "interface" ? sim_dir_interface(r)
         : d == "reg"       ? sim_dir_reg(r)
         : d == "lut"       ? sim_dir_lut(r)
         : d == "busy"      ? sim_dir_busy(r)
         : d == "fault"     ? sim_dir_fault(r)
                            : sim_fail(r, "unknown directive '%.*s'", sim_quote_len(d), d.data());
}

bool sim_load_board(const char *path) {
  mdio_board_clear(&sim_bd);
  std::memcpy(sim_nic, "eth0", sizeof "eth0");
  bool demo = path == nullptr || *path == '\0';
  sim_rn = {demo ? nullptr : path, false, {}, false, false};
  sim_reader r = {};
  r.path = demo ? "board/demo.board" : path;
  r.builtin = demo ? SIM_DEMO_BOARD : nullptr;
  while (sim_reader_next(&r)) {
    r.failed = !sim_parse_line(&r);
    sim_rn.open_line = r.text[std::strlen(r.text) - 1] != '\n';
  }
  sim_rn.regular = r.regular;
  sim_rn.st = r.st;
  return !r.failed;
}

void sim_save(int phy, int reg) {
  if (sim_rn.path == nullptr || sim_rn.unsaved) {
    return;
  }
  char line[32];
  int len = std::snprintf(line, sizeof line, "%sreg %d %d 0x%04x\n", sim_rn.open_line ? "\n" : "", phy, reg,
                          static_cast<unsigned>(sim_bd.regs[phy][reg]));
  const char *why =
      !sim_rn.regular ? "not a regular file" : sim_save_append(sim_rn.path, &sim_rn.st, line, static_cast<size_t>(len));
  sim_rn.open_line = sim_rn.open_line && why != nullptr;
  if (why != nullptr) {
    std::fprintf(stderr, "libmii-sim: cannot save %s: %s\n", sim_rn.path, why);
    sim_rn.unsaved = true;
  }
}
