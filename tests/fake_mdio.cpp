#include "tests/fake_mdio.h"

#include <cerrno>
#include <cstdio>
#include <deque>
#include <map>
#include <utility>

#include "mdio/mdio.h"

namespace {

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
void (*write_hook)(uint16_t, int, uint16_t) = nullptr;

const fault *find_fault(bool write, uint16_t phy, int reg) {
  int position = static_cast<int>(log.size());
  for (const fault &f : faults) {
    if (f.position == position || (f.position < 0 && f.write == write && f.phy == phy && f.reg == reg)) {
      return &f;
    }
  }
  return nullptr;
}

} // namespace

void fake_reset() {
  registers.clear();
  scripts.clear();
  faults.clear();
  log.clear();
  write_hook = nullptr;
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

void fake_on_write(void (*hook)(uint16_t phy, int reg, uint16_t value)) { write_hook = hook; }

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

extern "C" int mdio_read(const char * /*nic*/, uint16_t phy, int reg, uint16_t *value) {
  if (const fault *f = find_fault(false, phy, reg)) {
    if (f->store) {
      *value = f->stored;
    }
    log.push_back({false, phy, reg, f->store ? f->stored : uint16_t{0}, f->status});
    errno = f->err;
    return f->status;
  }
  auto script = scripts.find({phy, reg});
  if (script != scripts.end() && !script->second.empty()) {
    *value = script->second.front();
    script->second.pop_front();
  } else {
    *value = registers[{phy, reg}];
  }
  log.push_back({false, phy, reg, *value, 0});
  return 0;
}

extern "C" int mdio_write(const char * /*nic*/, uint16_t phy, int reg, uint16_t value) {
  const fault *f = find_fault(true, phy, reg);
  log.push_back({true, phy, reg, value, f ? f->status : 0});
  if (write_hook) {
    write_hook(phy, reg, value);
  }
  if (f) {
    errno = f->err;
    return f->status;
  }
  return 0;
}
