// Every access of an operation on a healthy board failed in turn, with a
// positive and a negative status and, for reads, with and without a value
// left behind: the exit status and output a script sees, which accesses
// still happen, and what PHY 0 register 19 is given.
#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "lut/lut.h"
#include "tests/capture.h"
#include "tests/demo_output.h"
#include "tests/fake_mdio.h"

namespace {

using words = std::vector<std::string>;

// The tool on the demo board as the bus holds it now.
struct outcome {
  captured shown;
  std::vector<fake_access> log;
  words log_words;
};

outcome run(const std::vector<std::string> &args) {
  captured shown = run_tool(args);
  return {shown, fake_log(), fake_log_words()};
}

struct fault {
  int status;
  bool store; // a failed read still stores through the pointer
};

// Left behind by a failed read: enable bit clear, busy set, every bit the
// PHY report shows set, and non-zero entry words.
constexpr uint16_t LEFT_BEHIND = 0xF7FF;

std::vector<fault> faults_for(const fake_access &a) {
  if (a.write) {
    return {{EIO, false}, {-EIO, false}};
  }
  return {{EIO, false}, {EIO, true}, {-EIO, false}, {-EIO, true}};
}

outcome run_faulted(const std::vector<std::string> &args, size_t position, fault f) {
  fake_reset();
  fake_fail_at(static_cast<int>(position), f.status, EIO, f.store, LEFT_BEHIND);
  return run(args);
}

std::string describe(size_t position, const std::string &word, fault f) {
  return "access " + std::to_string(position) + " (" + word + ") fails with " + std::to_string(f.status) +
         (f.store ? ", value left behind" : "");
}

bool is_cfg(const fake_access &a) { return a.phy == LUT_CFG_PHY_ADDR && a.reg == LUT_REG_CFG; }

// PHY 0 register 19 is written only right after a successful read of it
// that showed the enable bit clear, with that value plus the bit; and such
// a read is always followed by that write.
void expect_enable_rule(const std::vector<fake_access> &log) {
  for (size_t i = 0; i < log.size(); i++) {
    const fake_access &a = log[i];
    bool clear_read = !a.write && is_cfg(a) && a.status == 0 && (a.value & LOOKUP_READ_ENABLE) == 0;
    if (a.write && is_cfg(a)) {
      ASSERT_GT(i, 0U);
      const fake_access &read = log[i - 1];
      EXPECT_TRUE(!read.write && is_cfg(read) && read.status == 0 && (read.value & LOOKUP_READ_ENABLE) == 0)
          << "write " << i << " not after a successful read showing the bit clear";
      EXPECT_EQ(a.value, read.value | LOOKUP_READ_ENABLE) << "write " << i;
    }
    if (clear_read) {
      EXPECT_TRUE(i + 1 < log.size() && log[i + 1].write && is_cfg(log[i + 1])) << "no enable write after read " << i;
    }
  }
}

// The log without the enable step's accesses and the busy polls: what
// stays the same whether or not lookup reading got enabled.
words data_path(const outcome &r) {
  words rest;
  for (size_t i = 0; i < r.log.size(); i++) {
    if (!is_cfg(r.log[i]) && r.log_words[i] != "R 7 16") {
      rest.push_back(r.log_words[i]);
    }
  }
  return rest;
}

// A failed busy or data read ends the entry read; a failed write or enable
// step read does not.
bool ends_entry_read(const fake_access &a) { return !a.write && a.phy == LUT_PHY_ADDR; }

const std::vector<std::string> READ_LUT_ONE = {"-o", "read-lut-one", "-i", "55", "-n", "eth0"};
const std::vector<std::string> SEEK_85 = {"-o", "seek-for-mac", "-m", "00:11:22:33:44:55", "-n", "eth0"};
const std::vector<std::string> READ_LUT_ALL = {"-o", "read-lut-all", "-n", "eth0"};
const std::vector<std::string> PHY_STATUS = {"-o", "phy-status", "-n", "eth0"};

const words ENTRY_85 = {"R 0 19", "W 0 19 0x0923", "W 7 18 0x5500", "W 7 16 0xffff", "R 7 16",
                        "R 7 16", "R 7 20",        "R 7 19",        "R 7 18",        "R 7 17"};

// Operations that read one entry: the table read and the MAC seek.
struct single_entry_case {
  std::vector<std::string> args;
  int status;
  const char *out;
  int failed_status;
  const char *failed_out;
  const char *failed_err;
  bool failed_exits;
};

class single_entry : public testing::TestWithParam<single_entry_case> {};

TEST_P(single_entry, failed_read_ends_the_operation_and_anything_else_goes_unnoticed) {
  const single_entry_case &c = GetParam();
  fake_reset();
  outcome healthy = run(c.args);
  ASSERT_EQ(healthy.log_words, ENTRY_85);
  ASSERT_EQ(healthy.shown.status, c.status);
  ASSERT_EQ(healthy.shown.out, c.out);
  // A failed enable read writes nothing: the switch then answers as if the
  // bit had been read set, with lookup reading still disabled.
  fake_reset();
  fake_set(LUT_CFG_PHY_ADDR, LUT_REG_CFG, LOOKUP_READ_ENABLE);
  outcome not_enabled = run(c.args);
  for (size_t k = 0; k < healthy.log.size(); k++) {
    for (fault f : faults_for(healthy.log[k])) {
      SCOPED_TRACE(describe(k, healthy.log_words[k], f));
      outcome r = run_faulted(c.args, k, f);
      expect_enable_rule(r.log);
      const outcome &goes_on = k == 0 ? not_enabled : healthy;
      if (ends_entry_read(healthy.log[k])) {
        EXPECT_EQ(r.shown.status, c.failed_status);
        EXPECT_EQ(r.shown.out, c.failed_out);
        EXPECT_EQ(r.shown.err, c.failed_err);
        EXPECT_EQ(r.shown.exited, c.failed_exits);
        EXPECT_EQ(r.log.size(), k + 1);
      } else {
        EXPECT_EQ(r.shown.status, goes_on.shown.status);
        EXPECT_EQ(r.shown.out, goes_on.shown.out);
        EXPECT_EQ(r.shown.err, "");
        EXPECT_FALSE(r.shown.exited);
        EXPECT_EQ(data_path(r), data_path(healthy));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(operations, single_entry,
                         testing::Values(single_entry_case{READ_LUT_ONE, 0, "0x0003554433221100\n", 1, "",
                                                           "error writing register\n: Input/output error\n", false},
                                         single_entry_case{SEEK_85, 3, "", 255, "-1\n", "", true}));

// The dump as it reads when entry `failed` could not be read.
std::string dump_with_failed_entry(const std::string &dump, int failed) {
  std::string out;
  bool reported = false;
  for (size_t at = 0, nl = 0; at < dump.size(); at = nl + 1) {
    nl = dump.find('\n', at);
    int index = std::atoi(dump.c_str() + at);
    if (!reported && index >= failed) {
      out += "Error reading entry no " + std::to_string(failed) + "\n";
      reported = true;
    }
    if (index != failed) {
      out += dump.substr(at, nl + 1 - at);
    }
  }
  return reported ? out : out + "Error reading entry no " + std::to_string(failed) + "\n";
}

// Entries whose every access is failed in turn: the first two (the one
// that enables lookup reads and one in use), a window in the middle around
// entry 515, and the last. Each dump is some 9200 accesses, so all 1024
// entries would take minutes; entries in between differ only in their data.
constexpr int DUMP_ENTRIES[] = {0, 1, 512, 513, 514, 515, 516, 1023};

TEST(fault_matrix, dump_reports_a_failed_entry_and_goes_on) {
  fake_reset();
  outcome healthy = run(READ_LUT_ALL);
  ASSERT_EQ(healthy.shown.out, DEMO_DUMP);
  std::vector<size_t> starts; // where each entry read begins
  for (size_t i = 0; i < healthy.log.size(); i++) {
    if (!healthy.log[i].write && is_cfg(healthy.log[i])) {
      starts.push_back(i);
    }
  }
  ASSERT_EQ(starts.size(), static_cast<size_t>(LUT_ENTRIES));
  starts.push_back(healthy.log.size());
  for (int entry : DUMP_ENTRIES) {
    for (size_t k = starts[entry]; k < starts[entry + 1]; k++) {
      for (fault f : faults_for(healthy.log[k])) {
        SCOPED_TRACE(describe(k, healthy.log_words[k], f) + " in entry " + std::to_string(entry));
        outcome r = run_faulted(READ_LUT_ALL, k, f);
        expect_enable_rule(r.log);
        EXPECT_EQ(r.shown.status, 0);
        EXPECT_EQ(r.shown.err, "");
        if (ends_entry_read(healthy.log[k])) {
          EXPECT_EQ(r.shown.out, dump_with_failed_entry(healthy.shown.out, entry));
          words expected(healthy.log_words.begin(), healthy.log_words.begin() + static_cast<long>(k) + 1);
          expected.insert(expected.end(), healthy.log_words.begin() + static_cast<long>(starts[entry + 1]),
                          healthy.log_words.end());
          EXPECT_EQ(r.log_words, expected);
        } else {
          EXPECT_EQ(r.shown.out, healthy.shown.out);
          EXPECT_EQ(data_path(r), data_path(healthy));
        }
      }
    }
  }
}

// A positive status stops the report after the PHYs already shown; a
// negative one shows the register as zero and goes on.
TEST(fault_matrix, phy_report_stops_on_a_positive_status_only) {
  fake_reset();
  outcome healthy = run(PHY_STATUS);
  ASSERT_EQ(healthy.shown.status, 0);
  ASSERT_EQ(healthy.shown.out, DEMO_PHYS);
  ASSERT_EQ(healthy.log.size(), 18U);
  for (size_t k = 0; k < healthy.log.size(); k++) {
    auto phy = static_cast<uint16_t>(k / 2);
    int reg = static_cast<int>(k % 2);
    fake_reset();
    fake_set(phy, reg, 0);
    std::string zeroed = run(PHY_STATUS).shown.out;
    for (fault f : faults_for(healthy.log[k])) {
      SCOPED_TRACE(describe(k, healthy.log_words[k], f));
      outcome r = run_faulted(PHY_STATUS, k, f);
      if (f.status > 0) {
        size_t shown_lines = healthy.shown.out.find("PHY " + std::to_string(phy));
        EXPECT_EQ(r.shown.status, 1);
        EXPECT_EQ(r.shown.out, healthy.shown.out.substr(0, shown_lines));
        EXPECT_EQ(r.shown.err, "error performing operation\n: Input/output error\n");
        EXPECT_EQ(r.log.size(), k + 1);
      } else {
        EXPECT_EQ(r.shown.status, 0);
        EXPECT_EQ(r.shown.out, zeroed);
        EXPECT_EQ(r.shown.err, "");
        EXPECT_EQ(r.log_words, healthy.log_words);
      }
    }
  }
}

// A switch whose busy flag never clears: every entry read gives up after
// LUT_BUSY_POLL_LIMIT status reads and is reported as timed out.
TEST(fault_matrix, switch_stuck_busy_ends_in_the_timeout_report) {
  std::string every_entry_failed;
  for (int entry = 0; entry < LUT_ENTRIES; entry++) {
    every_entry_failed += "Error reading entry no " + std::to_string(entry) + "\n";
  }
  const size_t one_entry = 4 + LUT_BUSY_POLL_LIMIT; // enable read and write, address, command, polls
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    const char *err;
    size_t accesses;
  } cases[] = {
      {READ_LUT_ONE, 1, "", "error writing register\n: Connection timed out\n", one_entry},
      {SEEK_85, 255, "-1\n", "", one_entry},
      {READ_LUT_ALL, 0, every_entry_failed, "", one_entry + (LUT_ENTRIES - 1) * (one_entry - 1)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args[1]);
    fake_reset();
    fake_set(LUT_PHY_ADDR, LUT_REG_CTRL, LUT_CTRL_BUSY);
    outcome r = run(c.args);
    EXPECT_EQ(r.shown.status, c.status);
    EXPECT_EQ(r.shown.out, c.out);
    EXPECT_EQ(r.shown.err, c.err);
    EXPECT_EQ(r.log.size(), c.accesses);
    expect_enable_rule(r.log);
  }
}

} // namespace
