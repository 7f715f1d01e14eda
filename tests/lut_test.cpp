// The switch's indirect table read as the bus sees it, and how entries are
// shown.
#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "lut/lut.h"
#include "tests/capture.h"
#include "tests/demo_output.h"
#include "tests/fake_mdio.h"

namespace {

using words = std::vector<std::string>;

TEST(lut_address_word, puts_index_low_byte_high_and_bits_9_8_low) {
  const struct {
    uint16_t index;
    uint16_t word;
  } cases[] = {{0, 0x0000}, {1, 0x0100}, {0x155, 0x5501}, {0x3FF, 0xFF03}, {0x400, 0x0000}, {0x2AA, 0xAA02}};
  for (const auto &c : cases) {
    EXPECT_EQ(lut_address_word(c.index), c.word) << c.index;
  }
}

TEST(lut_read, writes_address_and_command_then_reads_20_19_18_17) {
  fake_reset(FAKE_ENABLED_CFG);
  lut_entry entry = {0, 0};
  EXPECT_EQ(lut_read_entry("eth0", 0x55, &entry), 0);
  EXPECT_EQ(fake_log_words(), (words{"R 0 19", "W 7 18 0x5500", "W 7 16 0xffff", "R 7 16", "R 7 16", "R 7 20", "R 7 19",
                                     "R 7 18", "R 7 17"}));
  EXPECT_EQ(entry.lo, 0x33221100U);
  EXPECT_EQ(entry.hi, 0x00035544U);
}

// The enable bit is set, with the register's other bits kept, only when it
// was read clear; the message comes with -V.
TEST(lut_read, enable_step_sets_only_the_enable_bit_and_only_when_clear) {
  const struct {
    uint16_t cfg;
    int verbose;
    words first;
    const char *message;
  } cases[] = {
      {0x0123, 0, {"R 0 19", "W 0 19 0x0923", "W 7 18 0x0000"}, ""},
      {0x0123, 1, {"R 0 19", "W 0 19 0x0923", "W 7 18 0x0000"}, "enabling lookup reading\n"},
      {0x0800, 1, {"R 0 19", "W 7 18 0x0000", "W 7 16 0xffff"}, ""},
      {0xF7FF, 0, {"R 0 19", "W 0 19 0xffff", "W 7 18 0x0000"}, ""},
  };
  for (const auto &c : cases) {
    fake_reset(c.cfg);
    lut_entry entry = {1, 1};
    captured r = capture([&] {
      verbose = c.verbose;
      return lut_read_entry("eth0", 0, &entry);
    });
    verbose = 0;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('0')), c.message) << c.cfg;
    words log = fake_log_words();
    log.resize(3);
    EXPECT_EQ(log, c.first) << c.cfg;
  }
}

TEST(lut_read, waits_while_busy_then_reads_the_data) {
  fake_reset(FAKE_ENABLED_CFG);
  fake_script(7, 16, {LUT_CTRL_BUSY, 0xFFFF, LUT_CTRL_BUSY, 0xFFFD});
  lut_entry entry = {0, 0};
  EXPECT_EQ(lut_read_entry("eth0", 0x55, &entry), 0);
  words log = fake_log_words();
  EXPECT_EQ(std::count(log.begin(), log.end(), "R 7 16"), 4);
  EXPECT_EQ(log.size(), 3U + 4U + 4U);
  EXPECT_EQ(entry.lo, 0x33221100U);
}

TEST(lut_print, shows_mac_port_and_raw_words) {
  const struct {
    lut_entry entry;
    const char *line;
  } cases[] = {
      {{0x33221100, 0x00035544}, "src mac: 00:11:22:33:44:55 physical port: 3 0x0003554433221100\n"},
      {{0xc1605ea4, 0xfffa9a2f}, "src mac: a4:5e:60:c1:2f:9a physical port: 10 0xfffa9a2fc1605ea4\n"},
  };
  for (const auto &c : cases) {
    captured r = capture([&] { return lut_print_entry(c.entry); });
    EXPECT_EQ(r.out, c.line);
    EXPECT_EQ(r.status, 0);
  }
}

// With -V every entry's raw line comes first, empty ones included, and an
// entry in use is then shown with its index.
TEST(lut_dump, verbose_dump_prints_every_raw_line_before_its_dump_line) {
  fake_reset(FAKE_ENABLED_CFG);
  captured r = capture([] {
    verbose = 1;
    return lut_read_all("eth0");
  });
  verbose = 0;
  std::string expected;
  std::istringstream dump(DEMO_DUMP);
  std::string line;
  std::getline(dump, line);
  for (int index = 0; index < LUT_ENTRIES; index++) {
    bool in_use = !line.empty() && std::stoi(line) == index;
    const char *empty = index == 600 ? "0x00045a0000000000" : "0x0000000000000000"; // 600: lo 0, hi not
    expected += (in_use ? line.substr(line.size() - 18) : empty) + std::string("\n");
    if (in_use) {
      expected += line + "\n";
      line = std::getline(dump, line) ? line : "";
    }
  }
  EXPECT_EQ(r.out, expected);
}

} // namespace
