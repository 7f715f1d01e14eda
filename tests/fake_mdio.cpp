#include "tests/fake_mdio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <utility>

#include "lut/lut.h"
#include "mdio/mdio.h"

extern "C" int __real_mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value); // NOLINT
extern "C" int __real_mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value); // NOLINT

namespace {

constexpr const char *BOARD_NIC = "eth0";

struct fault {
  int position; // -1: by register
  bool write;
  uint16_t phy;
  int reg;
  int status;
  int err;
  bool store;
  uint16_t stored;
};

using reg_key = std::pair<uint16_t, int>;

std::map<reg_key, uint16_t> registers;
std::map<reg_key, std::deque<uint16_t>> scripts;
std::vector<fault> faults;
std::vector<fake_access> log;

const fault *find_fault(bool write, uint16_t phy, int reg) {
  int position = static_cast<int>(log.size());
  for (const fault &f : faults) {
    if (f.position == position || (f.position < 0 && f.write == write && f.phy == phy && f.reg == reg)) {
      return &f;
    }
  }
  return nullptr;
}

// What the board (or the test's script) answers for a read.
int board_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  auto script = scripts.find({phy, reg});
  if (script != scripts.end() && !script->second.empty()) {
    *value = script->second.front();
    script->second.pop_front();
    return 0;
  }
  auto set = registers.find({phy, reg});
  if (set != registers.end()) {
    *value = set->second;
    return 0;
  }
  return __real_mdio_read(nic, phy, reg, value);
}

} // namespace

void fake_reset(uint16_t cfg) {
  unsetenv("MII_SIM_BOARD"); // the built-in demo board, never a developer's board file
  unsetenv("MII_SIM_TRACE");
  registers.clear();
  scripts.clear();
  faults.clear();
  log.clear();
  __real_mdio_write(BOARD_NIC, LUT_CFG_PHY_ADDR, LUT_REG_CFG, cfg);
}

void fake_set(uint16_t phy, int reg, uint16_t value) { registers[{phy, reg}] = value; }

void fake_script(uint16_t phy, int reg, const std::vector<uint16_t> &values) {
  scripts[{phy, reg}].assign(values.begin(), values.end());
}

void fake_fail_at(int position, int status, int err, bool store, uint16_t stored) {
  faults.push_back({position, false, 0, 0, status, err, store, stored});
}

void fake_fail_reg(bool write, uint16_t phy, int reg, int status, int err) {
  faults.push_back({-1, write, phy, reg, status, err, false, 0});
}

const std::vector<fake_access> &fake_log() { return log; }

std::vector<std::string> fake_log_words() {
  std::vector<std::string> words;
  for (const fake_access &a : log) {
    char text[32];
    if (a.write) {
      std::snprintf(text, sizeof text, "W %u %d 0x%04x", a.phy, a.reg, a.value);
    } else {
      std::snprintf(text, sizeof text, "R %u %d", a.phy, a.reg);
    }
    words.emplace_back(text);
  }
  return words;
}

extern "C" int __wrap_mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) { // NOLINT
  const fault *f = find_fault(false, phy, reg);
  if (f == nullptr) {
    int status = board_read(nic, phy, reg, value);
    log.push_back({false, phy, reg, *value, status});
    return status;
  }
  if (f->store) {
    *value = f->stored;
  }
  log.push_back({false, phy, reg, f->store ? f->stored : uint16_t{0}, f->status});
  errno = f->err;
  return f->status;
}

extern "C" int __wrap_mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) { // NOLINT
  const fault *f = find_fault(true, phy, reg);
  int status = __real_mdio_write(nic, phy, reg, value);
  log.push_back({true, phy, reg, value, f != nullptr ? f->status : status});
  if (f != nullptr) {
    errno = f->err;
    return f->status;
  }
  return status;
}
