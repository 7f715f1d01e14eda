// The bus as unit tests see it: the simulated board in-process, with
// scripted register values and faults in front of it and a log of every
// access in the order the bus would see it. The test binary is linked with
// --wrap=mdio_read,--wrap=mdio_write, so the tool's calls land here first.
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

constexpr uint16_t FAKE_DEMO_CFG = 0x0123;    // the demo board's lookup configuration at power-on
constexpr uint16_t FAKE_ENABLED_CFG = 0x0923; // the same with lookup reading enabled

// The demo board with `cfg` in PHY 0 register 19; no scripts, no faults,
// empty log.
void fake_reset(uint16_t cfg = FAKE_DEMO_CFG);

// Reads of the register return `value` instead of the board's.
void fake_set(uint16_t phy, int reg, uint16_t value);

// Successive reads of the register return these values first.
void fake_script(uint16_t phy, int reg, const std::vector<uint16_t> &values);

// The access at `position` in the log (0-based) returns `status` and sets
// errno to `err`. A failed read stores `stored` through the pointer if
// `store` is set and leaves it alone otherwise; a failed write still
// reaches the board (the bus carried it, only its report failed).
void fake_fail_at(int position, int status, int err, bool store = false, uint16_t stored = 0);

// Every access of this kind to phy/reg fails like fake_fail_at.
void fake_fail_reg(bool write, uint16_t phy, int reg, int status, int err);

const std::vector<fake_access> &fake_log();

// The log as "R 7 16" / "W 0 19 0x0923" words, for exact sequence checks.
std::vector<std::string> fake_log_words();
