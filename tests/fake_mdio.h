// In-process stand-in for libmii.so: scripted register values and faults,
// and a log of every access in the order the bus would see it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct fake_access {
  bool write;
  uint16_t phy;
  int reg;
  uint16_t value; // written, or stored through the pointer
  int status;
};

// All registers 0, no scripts, no faults, no write hook, empty log.
void fake_reset();

// What every read of the register returns once its script (if any) is used
// up. Writes are logged only: reads return what the test set.
void fake_set(uint16_t phy, int reg, uint16_t value);

// Successive reads of the register return these values, then fake_set's.
void fake_script(uint16_t phy, int reg, const std::vector<uint16_t> &values);

// The access at `position` in the log (0-based) returns `status` and sets
// errno to `err`; a failed read stores `stored` through the pointer if
// `store` is set and leaves it alone otherwise.
void fake_fail_at(int position, int status, int err, bool store = false, uint16_t stored = 0);

// Every access of this kind to phy/reg fails like fake_fail_at.
void fake_fail_reg(bool write, uint16_t phy, int reg, int status, int err);

// Called after every write is logged, failed or not (the bus carried it;
// only its report failed), so a test can model a board that reacts to
// writes with fake_set and fake_script. nullptr removes it.
void fake_on_write(void (*hook)(uint16_t phy, int reg, uint16_t value));

const std::vector<fake_access> &fake_log();

// The log as "R 7 16" / "W 0 19 0x0923" words, for exact sequence checks.
std::vector<std::string> fake_log_words();
