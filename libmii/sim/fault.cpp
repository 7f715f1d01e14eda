// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Faults: what the board file's `fault` directive says (the register or the
// position in the run, the status and errno, a value a failed read still
// stores), and when a fault fires.
#include "libmii/sim/fault.h"

#include <cerrno>
#include <climits>

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

// Words that may follow a fault's head, each once, in any order.
constexpr const char *SIM_FAULT_KEYS[] = {"index", "nth", "status", "errno", "value"};
constexpr int SIM_KEY_INDEX = 0;
constexpr int SIM_KEY_NTH = 1;
constexpr int SIM_KEY_STATUS = 2;
constexpr int SIM_KEY_ERRNO = 3;
constexpr int SIM_KEY_VALUE = 4;

// An errno value: a number, or one of the names in SIM_ERRNO_NAMES.
static bool sim_errno(const sim_parser *p, std::string_view t, int *out) {
  if (!t.empty() && ((t[0] >= '0' && t[0] <= '9') || t[0] == '-' || t[0] == '+')) {
    uint32_t v = 0;
    bool ok = sim_number(p, t, "errno", 0, INT_MAX, &v);
    *out = static_cast<int>(v);
    return ok;
  }
  for (const auto &e : SIM_ERRNO_NAMES) {
    if (t == e.name) {
      *out = e.value;
      return true;
    }
  }
  return sim_fail(p, "unknown errno name '%.*s'", sim_quote_len(t), t.data());
}

// `fault access K` or `fault read|write PHY REG`; sets `*next` to the
// first word after it.
static bool sim_fault_head(const sim_parser *p, const std::string_view *t, int n, sim_fault *f, int *next) {
  bool access = n >= 2 && t[1] == "access";
  if (!access && (n < 2 || (t[1] != "read" && t[1] != "write"))) {
    return sim_fail(p, "expected 'fault read|write PHY REG ...' or 'fault access K ...'");
  }
  if (n < (access ? 3 : 4)) {
    return sim_fail(p, "missing argument: expected 'fault %.*s %s ...'", static_cast<int>(t[1].size()), t[1].data(),
                    access ? "K" : "PHY REG");
  }
  if (access) {
    f->kind = SIM_EITHER;
    *next = 3;
    return sim_number(p, t[2], "access number", 1, 0xFFFFFFFFU, &f->position);
  }
  f->kind = t[1] == "read" ? SIM_READ : SIM_WRITE;
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

static bool sim_fault_option(const sim_parser *p, int key, std::string_view t, sim_fault *f) {
  if (f->kind == SIM_EITHER && (key == SIM_KEY_INDEX || key == SIM_KEY_NTH)) {
    return sim_fail(p, "'%s' does not go with 'fault access'", SIM_FAULT_KEYS[key]);
  }
  if (f->kind == SIM_WRITE && key == SIM_KEY_VALUE) {
    return sim_fail(p, "'value' is for read faults only");
  }
  uint32_t v = 0;
  switch (key) {
  case SIM_KEY_NTH: return sim_number(p, t, "nth", 1, 0xFFFFFFFFU, &f->nth);
  case SIM_KEY_STATUS: return sim_signed(p, t, "status", &f->status);
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

static int sim_fault_key(std::string_view t) {
  for (int key = 0; key < static_cast<int>(sizeof SIM_FAULT_KEYS / sizeof SIM_FAULT_KEYS[0]); key++) {
    if (t == SIM_FAULT_KEYS[key]) {
      return key;
    }
  }
  return -1;
}

// The `KEY VALUE` pairs after a fault's head; status and errno are required.
static bool sim_fault_options(const sim_parser *p, const std::string_view *t, int n, sim_fault *f) {
  unsigned given = 0;
  for (int i = 0; i < n; i += 2) {
    int key = sim_fault_key(t[i]);
    if (key < 0) {
      return sim_fail(p, "unknown fault option '%.*s'", sim_quote_len(t[i]), t[i].data());
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

bool sim_fault_directive(const sim_parser *p, const std::string_view *t, int n) {
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

static bool sim_fault_matches(const sim_fault *f, const sim_access *a, int index) {
  if (f->kind == SIM_EITHER) {
    return f->position == sim_rn.accesses;
  }
  return f->kind == a->kind && f->phy == a->phy && f->reg == a->reg && (f->index < 0 || f->index == index);
}

const sim_fault *sim_fault_for(const sim_access *a) {
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
void sim_fault_apply(sim_access *a, const sim_fault *f) {
  a->failed = true;
  a->status = f->status;
  a->err = f->err;
  if (a->kind == SIM_READ && f->has_value) {
    a->value = f->value;
    a->stored = true;
  }
}
