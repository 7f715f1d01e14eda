// libmii.so for a simulated board: the board library's two calls, answered
// from memory instead of a management bus, so that miictl can be run and
// tested on any Linux machine.
//
// The board: PHY addresses 0-31, registers 0-31, 16 bits each. PHYs 0-8
// are fitted; their unset registers read 0, every register of addresses
// 9-31 reads 0xffff (nothing drives the bus there). Registers are plain
// storage except the switch's lookup engine at PHY 7 registers 16-20:
//   16  write 0xffff: read the latched table entry into 17-20, if PHY 0
//       register 19 bit 0x0800 is set, and stay busy for a while;
//       read: 0x0002 while busy (each such read counts down), else 0
//   17  entry bits 63..48    18  write: entry address word; read: bits 47..32
//   19  entry bits 31..16    20  entry bits 15..0
// Address word: index bits 7..0 in bits 15..8, index bits 9..8 in bits 1..0.
// The engine starts zeroed every run (entry 0 latched, not busy).
//
// MII_SIM_BOARD unset or empty: a built-in demo board on eth0 (see
// SIM_DEMO_*), never saved. MII_SIM_BOARD=FILE: the board file, read on
// the first access. One directive per line; '#' starts a comment anywhere;
// blank lines are skipped; numbers are decimal or 0x-hex (a leading 0 does
// not make octal); lines hold at most 255 characters and 16 words:
//
//   interface NAME       the interface the board answers on (eth0; <= 15 chars)
//   reg PHY REG VALUE    a plain register (PHY 0-31, REG 0-31, VALUE 0-0xffff;
//                        not PHY 7 registers 16-20)
//   lut INDEX HI LO      table entry INDEX (0-1023); HI = reg 17:18, LO = reg 19:20
//   busy N | forever     busy status reads after each read command (1)
//   fault read|write PHY REG [index I] [nth N] status S errno E [value V]
//   fault access K status S errno E [value V]
//
// A later interface, reg, lut or busy line overrides an earlier one. Up to
// 32 faults. A fault makes a matching access return status S (any int) and
// leave E (a number or a name such as EIO, ETIMEDOUT) in errno; the access
// has no effect on the board, except that a failed read with `value V`
// still stores V. `index I`: only while entry I is latched (for a write to
// PHY 7 register 18, the entry it latches). `nth N`: only the Nth matching
// access of the run. `access K`: the Kth access of the run, counting every
// call, refused ones included (the Kth trace line). Options after the head
// go in any order. Faults apply only to accesses the board would answer;
// when several fire, the first in the file wins; each counts its matches.
//
// A malformed or unreadable board file is reported once on standard error
// and every access then fails with EINVAL. A write that changes a plain
// register rewrites the board file through a temporary file renamed over
// it: `reg` lines of written registers become `reg P R 0xVVVV` (comments
// kept), other lines stay as they were, and registers without a line are
// appended. Lookup-engine registers are never saved.
//
// MII_SIM_TRACE=FILE ('-': standard error) appends one line per access:
//   R <nic> <phy> <reg> -> 0x<value>|- <status>    ('-': nothing stored)
//   W <nic> <phy> <reg> 0x<value> <status>
// A null interface name shows as (null).
//
// Errors of the library itself: positive errno as the status and in errno;
// in this order, EINVAL for an unusable board file, ENODEV for an interface
// the board does not answer on (or none), EINVAL for an address or register
// out of range or a null value pointer. Successful accesses leave errno as
// it was.
//
// Callers are single-threaded, like the tool.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mdio/mdio.h"

#define SIM_EXPORT __attribute__((visibility("default")))

constexpr int SIM_PHYS = 32;
constexpr int SIM_REGS = 32;
constexpr int SIM_PHYS_FITTED = 9; // PHYs 0-8 answer
constexpr uint16_t SIM_NOBODY = 0xFFFF;

constexpr uint16_t SIM_CFG_PHY = 0;
constexpr int SIM_CFG_REG = 19;
constexpr uint16_t SIM_READ_ENABLE = 0x0800;

constexpr uint16_t SIM_ENGINE_PHY = 7;
constexpr int SIM_ENGINE_CTRL = 16;
constexpr int SIM_ENGINE_DATA3 = 17; // first data register
constexpr int SIM_ENGINE_ADDR = 18;
constexpr int SIM_ENGINE_DATA0 = 20; // last data register
constexpr uint16_t SIM_CMD_READ = 0xFFFF;
constexpr uint16_t SIM_BUSY = 0x0002;

constexpr int SIM_LUT_ENTRIES = 1024;
constexpr int SIM_NAME_MAX = 15;      // interface name length, as the kernel's
constexpr int SIM_TRACE_NIC_MAX = 64; // longer names are cut in the trace
constexpr int SIM_TRACE_LINE_MAX = 128;
constexpr int SIM_PATH_MAX = 4096; // board file name, bytes
constexpr int SIM_LINE_MAX = 255;  // board file line, without its newline
constexpr int SIM_TOKENS_MAX = 16; // words on a board file line
constexpr int SIM_QUOTE_MAX = 40;  // longest word quoted in a message

// What reading a board file line gave.
constexpr int SIM_LINE_END = 0; // nothing left, or a read error
constexpr int SIM_LINE_OK = 1;
constexpr int SIM_LINE_LONG = 2; // longer than SIM_LINE_MAX
constexpr int SIM_LINE_NUL = 3;  // holds a NUL byte

constexpr int SIM_FAULTS_MAX = 32;

constexpr int SIM_READ = 0;
constexpr int SIM_WRITE = 1;
constexpr int SIM_EITHER = 2; // a fault on the access at a position in the run

constexpr int SIM_UNLOADED = 0;
constexpr int SIM_READY = 1;
constexpr int SIM_BROKEN = 2; // the board file is unusable: every access fails

// An access made to fail by the board file.
struct sim_fault {
  int kind;          // SIM_READ, SIM_WRITE, or SIM_EITHER with `position`
  uint16_t phy;      // read and write faults: the register
  int reg;           //
  int index;         // the table entry latched at the access, or -1: any
  uint32_t nth;      // fail only this matching access (1-based), or 0: all
  uint32_t position; // SIM_EITHER: the access's number in the run
  int status;        // returned
  int err;           // left in errno
  bool has_value;    // reads: `value` is still stored
  uint16_t value;    //
  uint32_t matched;  // matching accesses so far
};

// Everything the board holds for the run.
struct sim_board {
  char nic[SIM_NAME_MAX + 1];
  uint16_t regs[SIM_PHYS][SIM_REGS];
  uint32_t lut_hi[SIM_LUT_ENTRIES]; // registers 17:18
  uint32_t lut_lo[SIM_LUT_ENTRIES]; // registers 19:20
  uint32_t busy_polls;              // busy status reads after each command
  bool busy_forever;                // the busy flag never clears
  sim_fault faults[SIM_FAULTS_MAX];
  int fault_count;
};

// The lookup engine; it starts zeroed every run.
struct sim_engine {
  uint16_t data[4];   // registers 17-20
  uint16_t latched;   // entry index from the last address word
  uint32_t busy_left; // busy status reads still to come
  bool stuck;         // busy for good since the last command
};

// Library state outside the board proper.
struct sim_run {
  int state;
  int trace_fd; // -1: no trace
  bool from_file;
  char path[SIM_PATH_MAX];
  uint32_t accesses;              // so far, refused ones included
  bool dirty[SIM_PHYS][SIM_REGS]; // plain registers whose value a write changed
};

// A word of a board file line, not NUL-terminated.
struct sim_span {
  const char *s;
  int n;
};

// Where the board file is being read, for messages.
struct sim_parser {
  const char *path;
  int line;
};

struct sim_errno_name {
  const char *name;
  int value;
};

// One access on its way through: what was asked and how it ends.
struct sim_access {
  int kind;
  const char *nic;
  uint16_t phy;
  int reg;
  uint16_t value; // written, or to be stored through the read pointer
  bool stored;    // a read stores `value`
  bool failed;    // errno is to be set to `err`
  int err;
  int status;
};

struct sim_phy_init {
  uint16_t regs[4]; // control, status, id 1, id 2
};

struct sim_lut_init {
  uint16_t index;
  uint32_t hi;
  uint32_t lo;
};

// The built-in board, used when no board file is named.
constexpr uint16_t SIM_DEMO_CFG = 0x0123; // lookup reads not enabled yet
constexpr sim_phy_init SIM_DEMO_PHYS[SIM_PHYS_FITTED] = {
    {{0x3100, 0x786d, 0x0022, 0x1512}}, {{0x3100, 0x7869, 0x0022, 0x1512}}, {{0x2100, 0x780d, 0x0022, 0x1512}},
    {{0x0000, 0x7809, 0x0022, 0x1512}}, {{0x1000, 0x786d, 0x0022, 0x1512}}, {{0x0100, 0x780d, 0x0007, 0xc0f1}},
    {{0x3100, 0x7849, 0x0007, 0xc0f1}}, {{0x3100, 0x786d, 0x0007, 0xc0f1}}, {{0x1140, 0x7949, 0x0007, 0xc0f1}},
};
constexpr sim_lut_init SIM_DEMO_LUT[] = {
    {1, 0x00000100, 0x105e0002},   // 02:00:5e:10:00:01 port 0
    {85, 0x00035544, 0x33221100},  // 00:11:22:33:44:55 port 3
    {455, 0x0012c701, 0x44eb27b8}, // b8:27:eb:44:01:c7 port 2, flag bit 4 set
    {515, 0x0001037e, 0x0a211b00}, // 00:1b:21:0a:7e:03 port 1
    {600, 0x00045a00, 0x00000000}, // LO 0 marks it unused, though HI is set
    {922, 0x000f9a2f, 0xc1605ea4}, // a4:5e:60:c1:2f:9a port 15
};

constexpr sim_errno_name SIM_ERRNO_NAMES[] = {
    {"EPERM", EPERM},     {"ENOENT", ENOENT},     {"EINTR", EINTR},         {"EIO", EIO},
    {"ENXIO", ENXIO},     {"EAGAIN", EAGAIN},     {"ENOMEM", ENOMEM},       {"EACCES", EACCES},
    {"EFAULT", EFAULT},   {"EBUSY", EBUSY},       {"ENODEV", ENODEV},       {"EINVAL", EINVAL},
    {"ENOTTY", ENOTTY},   {"ENOSYS", ENOSYS},     {"EPROTO", EPROTO},       {"EOPNOTSUPP", EOPNOTSUPP},
    {"ENOTSUP", ENOTSUP}, {"ENETDOWN", ENETDOWN}, {"ETIMEDOUT", ETIMEDOUT}, {"EHOSTUNREACH", EHOSTUNREACH},
};

// Words that may follow a fault's head, each once, in any order.
constexpr const char *SIM_FAULT_KEYS[] = {"index", "nth", "status", "errno", "value"};
constexpr int SIM_KEY_INDEX = 0;
constexpr int SIM_KEY_NTH = 1;
constexpr int SIM_KEY_STATUS = 2;
constexpr int SIM_KEY_ERRNO = 3;
constexpr int SIM_KEY_VALUE = 4;

static sim_board sim_bd;
static sim_engine sim_eng;
static sim_run sim_rn;

static bool sim_is_engine(uint16_t phy, int reg) {
  return phy == SIM_ENGINE_PHY && reg >= SIM_ENGINE_CTRL && reg <= SIM_ENGINE_DATA0;
}

static uint16_t sim_index_of(uint16_t word) { return static_cast<uint16_t>((word >> 8) | ((word & 0x0003U) << 8)); }

// The board before any configuration: nothing but the fitted PHYs.
static void sim_board_defaults() {
  std::memset(&sim_bd, 0, sizeof sim_bd);
  std::memcpy(sim_bd.nic, "eth0", sizeof "eth0");
  for (int phy = SIM_PHYS_FITTED; phy < SIM_PHYS; phy++) {
    for (int reg = 0; reg < SIM_REGS; reg++) {
      sim_bd.regs[phy][reg] = SIM_NOBODY;
    }
  }
  sim_bd.busy_polls = 1;
}

static void sim_load_demo() {
  for (int phy = 0; phy < SIM_PHYS_FITTED; phy++) {
    std::memcpy(sim_bd.regs[phy], SIM_DEMO_PHYS[phy].regs, sizeof SIM_DEMO_PHYS[phy].regs);
  }
  sim_bd.regs[SIM_CFG_PHY][SIM_CFG_REG] = SIM_DEMO_CFG;
  for (const sim_lut_init &entry : SIM_DEMO_LUT) {
    sim_bd.lut_hi[entry.index] = entry.hi;
    sim_bd.lut_lo[entry.index] = entry.lo;
  }
}

// Reports a malformed board file; the first error ends the reading, so
// there is one message.
__attribute__((format(printf, 2, 3))) static bool sim_fail(const sim_parser *p, const char *fmt, ...) {
  char msg[160];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(msg, sizeof msg, fmt, ap); // NOLINT(clang-analyzer-valist.Uninitialized): started just above
  va_end(ap);
  std::fprintf(stderr, "libmii-sim: %s:%d: %s\n", p->path, p->line, msg);
  return false;
}

static int sim_quote_len(sim_span t) { return t.n < SIM_QUOTE_MAX ? t.n : SIM_QUOTE_MAX; }

static bool sim_is(sim_span t, const char *word) {
  return std::strlen(word) == static_cast<size_t>(t.n) && std::memcmp(t.s, word, static_cast<size_t>(t.n)) == 0;
}

static bool sim_is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Splits `line` into words up to a '#'. Returns their count, or -1 if
// there are more than SIM_TOKENS_MAX.
static int sim_tokenize(const char *line, sim_span *t) {
  int n = 0;
  for (const char *s = line;;) {
    while (sim_is_blank(*s)) {
      s++;
    }
    if (*s == '\0' || *s == '#') {
      return n;
    }
    if (n == SIM_TOKENS_MAX) {
      return -1;
    }
    t[n].s = s;
    while (*s != '\0' && *s != '#' && !sim_is_blank(*s)) {
      s++;
    }
    t[n].n = static_cast<int>(s - t[n].s);
    n++;
  }
}

static int sim_digit(char c, unsigned base) {
  unsigned d = 99;
  if (c >= '0' && c <= '9') {
    d = static_cast<unsigned>(c - '0');
  } else if (c >= 'a' && c <= 'f') {
    d = static_cast<unsigned>(c - 'a' + 10);
  } else if (c >= 'A' && c <= 'F') {
    d = static_cast<unsigned>(c - 'A' + 10);
  }
  return d < base ? static_cast<int>(d) : -1;
}

// A decimal or 0x-hex number; anything above 32 bits reads as 2^32.
// Decimal digits after a leading 0 are still decimal.
static bool sim_scan(sim_span t, uint64_t *out) {
  unsigned base = 10;
  int i = 0;
  if (t.n > 2 && t.s[0] == '0' && (t.s[1] == 'x' || t.s[1] == 'X')) {
    base = 16;
    i = 2;
  }
  if (i >= t.n) {
    return false;
  }
  uint64_t v = 0;
  for (; i < t.n; i++) {
    int d = sim_digit(t.s[i], base);
    if (d < 0) {
      return false;
    }
    v = v * base + static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFULL) {
      v = 0x100000000ULL;
    }
  }
  *out = v;
  return true;
}

static bool sim_number(const sim_parser *p, sim_span t, const char *what, uint32_t min, uint32_t max, uint32_t *out) {
  uint64_t v = 0;
  if (!sim_scan(t, &v)) {
    return sim_fail(p, "bad %s '%.*s'", what, sim_quote_len(t), t.s);
  }
  if (v < min || v > max) {
    unsigned lo = min;
    unsigned hi = max;
    return max == 0xFFFFU ? sim_fail(p, "%s '%.*s' out of range (0x%x-0x%x)", what, sim_quote_len(t), t.s, lo, hi)
                          : sim_fail(p, "%s '%.*s' out of range (%u-%u)", what, sim_quote_len(t), t.s, lo, hi);
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

// Checks that a directive has exactly `want` words, itself included.
static bool sim_arity(const sim_parser *p, const sim_span *t, int n, int want, const char *usage) {
  if (n < want) {
    return sim_fail(p, "missing argument: expected '%s'", usage);
  }
  if (n > want) {
    return sim_fail(p, "extra token '%.*s' after '%s'", sim_quote_len(t[want]), t[want].s, usage);
  }
  return true;
}

static bool sim_dir_interface(const sim_parser *p, const sim_span *t, int n) {
  if (!sim_arity(p, t, n, 2, "interface NAME")) {
    return false;
  }
  if (t[1].n > SIM_NAME_MAX) {
    return sim_fail(p, "interface name '%.*s' longer than %d characters", sim_quote_len(t[1]), t[1].s, SIM_NAME_MAX);
  }
  std::memcpy(sim_bd.nic, t[1].s, static_cast<size_t>(t[1].n));
  sim_bd.nic[t[1].n] = '\0';
  return true;
}

static bool sim_dir_reg(const sim_parser *p, const sim_span *t, int n) {
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

static bool sim_dir_lut(const sim_parser *p, const sim_span *t, int n) {
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

static bool sim_dir_busy(const sim_parser *p, const sim_span *t, int n) {
  if (!sim_arity(p, t, n, 2, "busy N|forever")) {
    return false;
  }
  sim_bd.busy_forever = sim_is(t[1], "forever");
  return sim_bd.busy_forever || sim_number(p, t[1], "busy count", 0, 0xFFFFFFFFU, &sim_bd.busy_polls);
}

// A status: any int, decimal or 0x-hex after an optional sign.
static bool sim_status(const sim_parser *p, sim_span t, int *out) {
  bool negative = t.n > 0 && t.s[0] == '-';
  sim_span digits = t;
  if (t.n > 0 && (t.s[0] == '-' || t.s[0] == '+')) {
    digits = {t.s + 1, t.n - 1};
  }
  uint64_t v = 0;
  if (!sim_scan(digits, &v)) {
    return sim_fail(p, "bad status '%.*s'", sim_quote_len(t), t.s);
  }
  if (v > (negative ? 0x80000000ULL : static_cast<uint64_t>(INT_MAX))) {
    return sim_fail(p, "status '%.*s' out of range for an int", sim_quote_len(t), t.s);
  }
  *out = negative ? static_cast<int>(-static_cast<int64_t>(v)) : static_cast<int>(v);
  return true;
}

// An errno value: a number, or one of the names in SIM_ERRNO_NAMES.
static bool sim_errno(const sim_parser *p, sim_span t, int *out) {
  if (t.n > 0 && ((t.s[0] >= '0' && t.s[0] <= '9') || t.s[0] == '-' || t.s[0] == '+')) {
    uint32_t v = 0;
    bool ok = sim_number(p, t, "errno", 0, INT_MAX, &v);
    *out = static_cast<int>(v);
    return ok;
  }
  for (const sim_errno_name &e : SIM_ERRNO_NAMES) {
    if (sim_is(t, e.name)) {
      *out = e.value;
      return true;
    }
  }
  return sim_fail(p, "unknown errno name '%.*s'", sim_quote_len(t), t.s);
}

// `fault access K` or `fault read|write PHY REG`; sets `*next` to the
// first word after it.
static bool sim_fault_head(const sim_parser *p, const sim_span *t, int n, sim_fault *f, int *next) {
  bool access = n >= 2 && sim_is(t[1], "access");
  if (!access && (n < 2 || (!sim_is(t[1], "read") && !sim_is(t[1], "write")))) {
    return sim_fail(p, "expected 'fault read|write PHY REG ...' or 'fault access K ...'");
  }
  if (n < (access ? 3 : 4)) {
    return sim_fail(p, "missing argument: expected 'fault %.*s %s ...'", t[1].n, t[1].s, access ? "K" : "PHY REG");
  }
  if (access) {
    f->kind = SIM_EITHER;
    *next = 3;
    return sim_number(p, t[2], "access number", 1, 0xFFFFFFFFU, &f->position);
  }
  f->kind = sim_is(t[1], "read") ? SIM_READ : SIM_WRITE;
  uint32_t phy = 0;
  uint32_t reg = 0;
  if (!sim_number(p, t[2], "PHY", 0, SIM_PHYS - 1, &phy) || !sim_number(p, t[3], "register", 0, SIM_REGS - 1, &reg)) {
    return false;
  }
  f->phy = static_cast<uint16_t>(phy);
  f->reg = static_cast<int>(reg);
  *next = 4;
  return true;
}

static bool sim_fault_option(const sim_parser *p, int key, sim_span t, sim_fault *f) {
  if (f->kind == SIM_EITHER && (key == SIM_KEY_INDEX || key == SIM_KEY_NTH)) {
    return sim_fail(p, "'%s' does not go with 'fault access'", SIM_FAULT_KEYS[key]);
  }
  if (f->kind == SIM_WRITE && key == SIM_KEY_VALUE) {
    return sim_fail(p, "'value' is for read faults only");
  }
  uint32_t v = 0;
  switch (key) {
  case SIM_KEY_NTH: return sim_number(p, t, "nth", 1, 0xFFFFFFFFU, &f->nth);
  case SIM_KEY_STATUS: return sim_status(p, t, &f->status);
  case SIM_KEY_ERRNO: return sim_errno(p, t, &f->err);
  case SIM_KEY_INDEX:
    if (!sim_number(p, t, "index", 0, SIM_LUT_ENTRIES - 1, &v)) {
      return false;
    }
    f->index = static_cast<int>(v);
    return true;
  default:
    if (!sim_number(p, t, "value", 0, 0xFFFF, &v)) {
      return false;
    }
    f->value = static_cast<uint16_t>(v);
    f->has_value = true;
    return true;
  }
}

static int sim_fault_key(sim_span t) {
  for (int key = 0; key < static_cast<int>(sizeof SIM_FAULT_KEYS / sizeof SIM_FAULT_KEYS[0]); key++) {
    if (sim_is(t, SIM_FAULT_KEYS[key])) {
      return key;
    }
  }
  return -1;
}

// The `KEY VALUE` pairs after a fault's head; status and errno are required.
static bool sim_fault_options(const sim_parser *p, const sim_span *t, int n, sim_fault *f) {
  unsigned given = 0;
  for (int i = 0; i < n; i += 2) {
    int key = sim_fault_key(t[i]);
    if (key < 0) {
      return sim_fail(p, "unknown fault option '%.*s'", sim_quote_len(t[i]), t[i].s);
    }
    if ((given & (1U << key)) != 0) {
      return sim_fail(p, "'%s' given twice", SIM_FAULT_KEYS[key]);
    }
    if (i + 1 >= n) {
      return sim_fail(p, "missing argument: expected '%s' and its value", SIM_FAULT_KEYS[key]);
    }
    if (!sim_fault_option(p, key, t[i + 1], f)) {
      return false;
    }
    given |= 1U << key;
  }
  if ((given & (1U << SIM_KEY_STATUS)) == 0 || (given & (1U << SIM_KEY_ERRNO)) == 0) {
    return sim_fail(p, "missing argument: a fault needs 'status S errno E'");
  }
  return true;
}

static bool sim_dir_fault(const sim_parser *p, const sim_span *t, int n) {
  if (sim_bd.fault_count == SIM_FAULTS_MAX) {
    return sim_fail(p, "more than %d faults", SIM_FAULTS_MAX);
  }
  sim_fault f = {};
  f.index = -1;
  int next = 0;
  if (!sim_fault_head(p, t, n, &f, &next) || !sim_fault_options(p, t + next, n - next, &f)) {
    return false;
  }
  sim_bd.faults[sim_bd.fault_count++] = f;
  return true;
}

static bool sim_parse_line(const sim_parser *p, const char *line) {
  sim_span t[SIM_TOKENS_MAX];
  int n = sim_tokenize(line, t);
  if (n < 0) {
    return sim_fail(p, "more than %d words", SIM_TOKENS_MAX);
  }
  if (n == 0) {
    return true;
  }
  // Plain calls rather than a table of function pointers: an indirect call
  // would need the C++ runtime of the undefined-behaviour sanitizer, and the
  // library is linked as C.
  if (sim_is(t[0], "interface")) {
    return sim_dir_interface(p, t, n);
  }
  if (sim_is(t[0], "reg")) {
    return sim_dir_reg(p, t, n);
  }
  if (sim_is(t[0], "lut")) {
    return sim_dir_lut(p, t, n);
  }
  if (sim_is(t[0], "busy")) {
    return sim_dir_busy(p, t, n);
  }
  if (sim_is(t[0], "fault")) {
    return sim_dir_fault(p, t, n);
  }
  return sim_fail(p, "unknown directive '%.*s'", sim_quote_len(t[0]), t[0].s);
}

// Reads one line, newline included, into `buf` (SIM_LINE_MAX + 2 bytes).
static int sim_read_line(FILE *f, char *buf) {
  int len = 0;
  int c = 0;
  while ((c = std::getc(f)) != EOF) {
    if (c == '\0') {
      return SIM_LINE_NUL;
    }
    if (len == SIM_LINE_MAX && c != '\n') {
      return SIM_LINE_LONG;
    }
    buf[len++] = static_cast<char>(c);
    if (c == '\n') {
      break;
    }
  }
  buf[len] = '\0';
  return len > 0 ? SIM_LINE_OK : SIM_LINE_END;
}

static bool sim_parse_file(sim_parser *p, FILE *f) {
  char line[SIM_LINE_MAX + 2];
  int got = 0;
  while ((got = sim_read_line(f, line)) != SIM_LINE_END) {
    p->line++;
    if (got == SIM_LINE_LONG) {
      return sim_fail(p, "line longer than %d characters", SIM_LINE_MAX);
    }
    if (got == SIM_LINE_NUL) {
      return sim_fail(p, "NUL byte in line");
    }
    if (!sim_parse_line(p, line)) {
      return false;
    }
  }
  if (std::ferror(f)) {
    std::fprintf(stderr, "libmii-sim: %s: %s\n", p->path, std::strerror(errno));
    return false;
  }
  return true;
}

static bool sim_load_file(const char *path) {
  if (std::strlen(path) >= sizeof sim_rn.path) {
    std::fprintf(stderr, "libmii-sim: %.64s...: %s\n", path, std::strerror(ENAMETOOLONG));
    return false;
  }
  std::memcpy(sim_rn.path, path, std::strlen(path) + 1);
  sim_rn.from_file = true;
  FILE *f = std::fopen(path, "r");
  if (f == nullptr) {
    std::fprintf(stderr, "libmii-sim: %s: %s\n", path, std::strerror(errno));
    return false;
  }
  sim_parser p = {path, 0};
  bool ok = sim_parse_file(&p, f);
  std::fclose(f);
  return ok;
}

static void sim_trace_open() {
  const char *path = std::getenv("MII_SIM_TRACE");
  if (path == nullptr || *path == '\0') {
    return;
  }
  if (std::strcmp(path, "-") == 0) {
    sim_rn.trace_fd = STDERR_FILENO;
    return;
  }
  sim_rn.trace_fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (sim_rn.trace_fd < 0) {
    std::fprintf(stderr, "libmii-sim: %s: %s\n", path, std::strerror(errno));
  }
}

// Sets the board up on the first access of the run.
static void sim_init() {
  if (sim_rn.state != SIM_UNLOADED) {
    return;
  }
  sim_rn.trace_fd = -1;
  sim_board_defaults();
  const char *path = std::getenv("MII_SIM_BOARD");
  if (path == nullptr || *path == '\0') {
    sim_load_demo();
    sim_rn.state = SIM_READY;
  } else {
    sim_rn.state = sim_load_file(path) ? SIM_READY : SIM_BROKEN;
  }
  sim_trace_open();
}

// One write(2) per line, so that lines from several processes do not mix
// and nothing waits in a buffer when the process ends.
static void sim_trace_put(const char *line, int len) {
  while (len > 0) {
    ssize_t done = write(sim_rn.trace_fd, line, static_cast<size_t>(len));
    if (done < 0 && errno == EINTR) {
      continue;
    }
    if (done <= 0) {
      return;
    }
    line += done;
    len -= static_cast<int>(done);
  }
}

static void sim_trace(const sim_access *a) {
  if (sim_rn.trace_fd < 0) {
    return;
  }
  const char *nic = a->nic != nullptr ? a->nic : "(null)";
  char line[SIM_TRACE_LINE_MAX];
  int len = 0;
  if (a->kind == SIM_READ) {
    char value[16] = "-";
    if (a->stored) {
      std::snprintf(value, sizeof value, "0x%04x", static_cast<unsigned>(a->value));
    }
    len = std::snprintf(line, sizeof line, "R %.*s %u %d -> %s %d\n", SIM_TRACE_NIC_MAX, nic,
                        static_cast<unsigned>(a->phy), a->reg, value, a->status);
  } else {
    len = std::snprintf(line, sizeof line, "W %.*s %u %d 0x%04x %d\n", SIM_TRACE_NIC_MAX, nic,
                        static_cast<unsigned>(a->phy), a->reg, static_cast<unsigned>(a->value), a->status);
  }
  if (len > 0 && len < static_cast<int>(sizeof line)) {
    sim_trace_put(line, len);
  }
}

static void sim_refuse(sim_access *a, int err) {
  a->failed = true;
  a->err = err;
  a->status = err;
}

// Why the board cannot answer this access at all, in the order it is
// checked, or 0.
static int sim_refusal(const char *nic, uint16_t phy, int reg) {
  if (sim_rn.state == SIM_BROKEN) {
    return EINVAL;
  }
  if (nic == nullptr || std::strcmp(nic, sim_bd.nic) != 0) {
    return ENODEV;
  }
  if (phy >= SIM_PHYS || reg < 0 || reg >= SIM_REGS) {
    return EINVAL;
  }
  return 0;
}

// Starts an access: sets the board up if need be, counts the access and
// refuses what the board cannot answer.
static sim_access sim_begin(int kind, const char *nic, uint16_t phy, int reg, uint16_t value) {
  sim_init();
  if (sim_rn.accesses < 0xFFFFFFFFU) {
    sim_rn.accesses++;
  }
  sim_access a = {kind, nic, phy, reg, value, false, false, 0, 0};
  int err = sim_refusal(nic, phy, reg);
  if (err != 0) {
    sim_refuse(&a, err);
  }
  return a;
}

static uint16_t sim_engine_read(int reg) {
  if (reg != SIM_ENGINE_CTRL) {
    return sim_eng.data[reg - SIM_ENGINE_DATA3];
  }
  if (sim_eng.stuck) {
    return SIM_BUSY;
  }
  if (sim_eng.busy_left > 0) {
    sim_eng.busy_left--;
    return SIM_BUSY;
  }
  return 0;
}

// A read command: loads the latched entry, if lookup reads are enabled.
static void sim_engine_command() {
  if ((sim_bd.regs[SIM_CFG_PHY][SIM_CFG_REG] & SIM_READ_ENABLE) == 0) {
    return;
  }
  uint32_t hi = sim_bd.lut_hi[sim_eng.latched];
  uint32_t lo = sim_bd.lut_lo[sim_eng.latched];
  sim_eng.data[0] = static_cast<uint16_t>(hi >> 16);
  sim_eng.data[1] = static_cast<uint16_t>(hi & 0xFFFFU);
  sim_eng.data[2] = static_cast<uint16_t>(lo >> 16);
  sim_eng.data[3] = static_cast<uint16_t>(lo & 0xFFFFU);
  sim_eng.busy_left = sim_bd.busy_polls;
  sim_eng.stuck = sim_bd.busy_forever;
}

static void sim_engine_write(int reg, uint16_t value) {
  if (reg == SIM_ENGINE_CTRL) {
    if (value == SIM_CMD_READ) {
      sim_engine_command();
    }
    return;
  }
  sim_eng.data[reg - SIM_ENGINE_DATA3] = value;
  if (reg == SIM_ENGINE_ADDR) {
    sim_eng.latched = sim_index_of(value);
  }
}

static void sim_save_failed(const char *why) {
  std::fprintf(stderr, "libmii-sim: cannot save %s: %s\n", sim_rn.path, why);
}

// Copies a board file line; a `reg` line of a written register gets the
// register's value, its indentation and trailing comment kept.
static void sim_save_line(FILE *out, const char *line, bool seen[SIM_PHYS][SIM_REGS]) {
  sim_span t[SIM_TOKENS_MAX];
  uint64_t phy = 0;
  uint64_t reg = 0;
  int n = sim_tokenize(line, t);
  if (n != 4 || !sim_is(t[0], "reg") || !sim_scan(t[1], &phy) || !sim_scan(t[2], &reg) || phy >= SIM_PHYS ||
      reg >= SIM_REGS || !sim_rn.dirty[phy][reg]) {
    std::fputs(line, out);
    return;
  }
  seen[phy][reg] = true;
  std::fprintf(out, "%.*sreg %u %u 0x%04x%s", static_cast<int>(t[0].s - line), line, static_cast<unsigned>(phy),
               static_cast<unsigned>(reg), static_cast<unsigned>(sim_bd.regs[phy][reg]), t[3].s + t[3].n);
}

// Written registers that have no `reg` line yet go at the end.
static void sim_save_new(FILE *out, bool seen[SIM_PHYS][SIM_REGS], bool at_line_start) {
  for (int phy = 0; phy < SIM_PHYS; phy++) {
    for (int reg = 0; reg < SIM_REGS; reg++) {
      if (!sim_rn.dirty[phy][reg] || seen[phy][reg]) {
        continue;
      }
      if (!at_line_start) {
        std::fputc('\n', out);
        at_line_start = true;
      }
      std::fprintf(out, "reg %d %d 0x%04x\n", phy, reg, static_cast<unsigned>(sim_bd.regs[phy][reg]));
    }
  }
}

// Copies the board file `in` to `out` with the written registers' values;
// returns nullptr or why it could not.
static const char *sim_save_lines(FILE *in, FILE *out) {
  bool seen[SIM_PHYS][SIM_REGS] = {};
  char line[SIM_LINE_MAX + 2];
  bool at_line_start = true;
  int got = 0;
  while ((got = sim_read_line(in, line)) == SIM_LINE_OK) {
    sim_save_line(out, line, seen);
    at_line_start = line[std::strlen(line) - 1] == '\n';
  }
  if (got != SIM_LINE_END) {
    return "a line is too long or holds a NUL byte";
  }
  if (std::ferror(in)) {
    return std::strerror(errno);
  }
  sim_save_new(out, seen, at_line_start);
  return nullptr;
}

// Fills the new temporary file `fd`, which gets the old file's permission
// bits, and closes it; returns nullptr or why it could not.
static const char *sim_save_write(FILE *in, int fd) {
  struct stat st = {};
  FILE *out = nullptr;
  if (fstat(fileno(in), &st) != 0 || fchmod(fd, st.st_mode & 07777) != 0 || (out = fdopen(fd, "w")) == nullptr) {
    const char *why = std::strerror(errno);
    close(fd);
    return why;
  }
  const char *why = sim_save_lines(in, out);
  if (why == nullptr && (std::fflush(out) != 0 || std::ferror(out) || fsync(fd) != 0)) {
    why = std::strerror(errno);
  }
  if (std::fclose(out) != 0 && why == nullptr) {
    why = std::strerror(errno);
  }
  return why;
}

// Rewrites the board file so that written registers keep their values in
// the next run, as the switch keeps them: a temporary file in the same
// directory renamed over the old one, so that a reader never sees half a
// file. A failure is reported and the run goes on.
static void sim_save() {
  char tmp[SIM_PATH_MAX + sizeof ".XXXXXX"];
  std::snprintf(tmp, sizeof tmp, "%s.XXXXXX", sim_rn.path);
  FILE *in = std::fopen(sim_rn.path, "r");
  int fd = in != nullptr ? mkstemp(tmp) : -1;
  if (fd < 0) {
    sim_save_failed(std::strerror(errno));
    if (in != nullptr) {
      std::fclose(in);
    }
    return;
  }
  const char *why = sim_save_write(in, fd);
  std::fclose(in);
  if (why == nullptr && std::rename(tmp, sim_rn.path) != 0) {
    why = std::strerror(errno);
  }
  if (why != nullptr) {
    unlink(tmp);
    sim_save_failed(why);
  }
}

static uint16_t sim_board_read(uint16_t phy, int reg) {
  return sim_is_engine(phy, reg) ? sim_engine_read(reg) : sim_bd.regs[phy][reg];
}

static void sim_board_write(uint16_t phy, int reg, uint16_t value) {
  if (sim_is_engine(phy, reg)) {
    sim_engine_write(reg, value);
    return;
  }
  if (sim_bd.regs[phy][reg] == value) {
    return;
  }
  sim_bd.regs[phy][reg] = value;
  if (sim_rn.from_file) {
    sim_rn.dirty[phy][reg] = true;
    sim_save();
  }
}

static bool sim_fault_matches(const sim_fault *f, const sim_access *a, int index) {
  if (f->kind == SIM_EITHER) {
    return f->position == sim_rn.accesses;
  }
  return f->kind == a->kind && f->phy == a->phy && f->reg == a->reg && (f->index < 0 || f->index == index);
}

// The first configured fault, in file order, that fails this access. Every
// fault the access matches counts it, whether or not an earlier one fires.
static const sim_fault *sim_fault_for(const sim_access *a) {
  bool addressing = a->kind == SIM_WRITE && a->phy == SIM_ENGINE_PHY && a->reg == SIM_ENGINE_ADDR;
  int index = addressing ? sim_index_of(a->value) : sim_eng.latched;
  const sim_fault *hit = nullptr;
  for (int i = 0; i < sim_bd.fault_count; i++) {
    sim_fault *f = &sim_bd.faults[i];
    if (!sim_fault_matches(f, a, index)) {
      continue;
    }
    if (f->matched < 0xFFFFFFFFU) {
      f->matched++;
    }
    if (hit == nullptr && (f->nth == 0 || f->matched == f->nth)) {
      hit = f;
    }
  }
  return hit;
}

// A failed access has no effect on the board; a read may still store a value.
static void sim_fault_apply(sim_access *a, const sim_fault *f) {
  a->failed = true;
  a->status = f->status;
  a->err = f->err;
  if (a->kind == SIM_READ && f->has_value) {
    a->value = f->value;
    a->stored = true;
  }
}

extern "C" SIM_EXPORT int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  int caller_errno = errno;
  sim_access a = sim_begin(SIM_READ, nic, phy, reg, 0);
  if (!a.failed && value == nullptr) {
    sim_refuse(&a, EINVAL);
  }
  const sim_fault *f = a.failed ? nullptr : sim_fault_for(&a);
  if (f != nullptr) {
    sim_fault_apply(&a, f);
  } else if (!a.failed) {
    a.value = sim_board_read(phy, reg);
    a.stored = true;
  }
  if (a.stored) {
    *value = a.value;
  }
  sim_trace(&a);
  errno = a.failed ? a.err : caller_errno;
  return a.status;
}

extern "C" SIM_EXPORT int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) {
  int caller_errno = errno;
  sim_access a = sim_begin(SIM_WRITE, nic, phy, reg, value);
  const sim_fault *f = a.failed ? nullptr : sim_fault_for(&a);
  if (f != nullptr) {
    sim_fault_apply(&a, f);
  } else if (!a.failed) {
    sim_board_write(phy, reg, value);
  }
  sim_trace(&a);
  errno = a.failed ? a.err : caller_errno;
  return a.status;
}
