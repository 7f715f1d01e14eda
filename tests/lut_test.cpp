// The switch's indirect table read as the bus sees it, and what the dump
// and the MAC seek make of the entries.
#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "lut/lut.h"
#include "tests/capture.h"
#include "tests/fake_mdio.h"

namespace {

using words = std::vector<std::string>;

const words READ_0X55 = {"R 0 19", "W 7 18 0x5500", "W 7 16 0xffff", "R 7 16", "R 7 20", "R 7 19", "R 7 18", "R 7 17"};

// The worked example: 00:11:22:33:44:55 on port 3.
void example_entry() {
  fake_set(7, 17, 0x0003);
  fake_set(7, 18, 0x5544);
  fake_set(7, 19, 0x3322);
  fake_set(7, 20, 0x1100);
}

class lut : public testing::Test {
protected:
  void SetUp() override {
    fake_reset();
    verbose = 0;
    fake_set(0, 19, LOOKUP_READ_ENABLE);
  }
  void TearDown() override { verbose = 0; }
};

TEST(lut_address_word, puts_index_low_byte_high_and_bits_9_8_low) {
  const struct {
    uint16_t index;
    uint16_t word;
  } cases[] = {{0, 0x0000}, {1, 0x0100}, {0x155, 0x5501}, {0x3FF, 0xFF03}, {0x400, 0x0000}, {0x2AA, 0xAA02}};
  for (const auto &c : cases) {
    EXPECT_EQ(lut_address_word(c.index), c.word) << c.index;
  }
}

TEST_F(lut, entry_read_writes_address_and_command_then_reads_20_19_18_17) {
  example_entry();
  lut_entry entry = {0, 0};
  EXPECT_EQ(lut_read_entry("eth0", 0x55, &entry), 0);
  EXPECT_EQ(fake_log_words(), READ_0X55);
  EXPECT_EQ(entry.lo, 0x33221100U);
  EXPECT_EQ(entry.hi, 0x00035544U);
}

TEST_F(lut, enable_step_sets_only_the_enable_bit_and_only_when_clear) {
  const struct {
    uint16_t cfg;
    int verbose;
    words first;
    const char *out;
  } cases[] = {
      {0x0123, 0, {"R 0 19", "W 0 19 0x0923", "W 7 18 0x0000"}, ""},
      {0x0123, 1, {"R 0 19", "W 0 19 0x0923", "W 7 18 0x0000"}, "enabling lookup reading\n0x0000000000000000\n"},
      {0x0800, 1, {"R 0 19", "W 7 18 0x0000", "W 7 16 0xffff"}, "0x0000000000000000\n"},
      {0xFFFF, 0, {"R 0 19", "W 7 18 0x0000", "W 7 16 0xffff"}, ""},
  };
  for (const auto &c : cases) {
    fake_reset();
    fake_set(0, 19, c.cfg);
    verbose = c.verbose;
    lut_entry entry = {1, 1};
    captured r = capture([&] { return lut_read_entry("eth0", 0, &entry); });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out) << c.cfg;
    words log = fake_log_words();
    log.resize(3);
    EXPECT_EQ(log, c.first) << c.cfg;
  }
}

// A failed read of the configuration gives nothing to write back: no write,
// and the entry read goes on (its own reads decide the outcome).
TEST_F(lut, enable_step_writes_nothing_after_a_failed_read) {
  for (int status : {5, -5}) {
    fake_reset();
    fake_fail_at(0, status, EIO, true, 0x0123);
    example_entry();
    EXPECT_EQ(lut_enable_reading("eth0"), status);
    EXPECT_EQ(fake_log().size(), 1U);
    fake_reset();
    fake_fail_at(0, status, EIO);
    example_entry();
    lut_entry entry = {0, 0};
    EXPECT_EQ(lut_read_entry("eth0", 0x55, &entry), 0);
    EXPECT_EQ(fake_log_words()[1], "W 7 18 0x5500");
    EXPECT_EQ(entry.lo, 0x33221100U);
  }
}

TEST_F(lut, waits_while_busy_then_reads_the_data) {
  fake_script(7, 16, {LUT_CTRL_BUSY, 0xFFFF, LUT_CTRL_BUSY, 0xFFFD});
  lut_entry entry = {0, 0};
  EXPECT_EQ(lut_read_entry("eth0", 0, &entry), 0);
  words log = fake_log_words();
  EXPECT_EQ(std::count(log.begin(), log.end(), "R 7 16"), 4);
  EXPECT_EQ(log.size(), 3U + 4U + 4U);
}

TEST_F(lut, switch_that_stays_busy_times_out_without_reading_data) {
  fake_set(7, 16, LUT_CTRL_BUSY);
  lut_entry entry = {1, 2};
  errno = 0;
  EXPECT_EQ(lut_read_entry("eth0", 0, &entry), ETIMEDOUT);
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_EQ(fake_log().size(), 3U + LUT_BUSY_POLL_LIMIT);
  EXPECT_EQ(fake_log_words().back(), "R 7 16");
  EXPECT_EQ(entry.lo, 1U);
  EXPECT_EQ(entry.hi, 2U);
}

// Any non-zero status of a busy or data read ends the read with that status,
// touches no later register and leaves the caller's record as it was.
TEST_F(lut, failed_read_returns_its_status_and_stops) {
  for (int position = 3; position < 8; position++) {
    for (int status : {5, -1}) {
      fake_reset();
      fake_set(0, 19, LOOKUP_READ_ENABLE);
      example_entry();
      fake_fail_at(position, status, EIO, true, 0xAAAA);
      lut_entry entry = {7, 9};
      captured r = capture([&] {
        verbose = 1;
        return lut_read_entry("eth0", 0x55, &entry);
      });
      EXPECT_EQ(r.status, status) << position;
      EXPECT_EQ(r.out, "") << position;
      EXPECT_EQ(fake_log().size(), static_cast<size_t>(position + 1));
      EXPECT_EQ(entry.lo, 7U);
      EXPECT_EQ(entry.hi, 9U);
    }
  }
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

// A dump in which entries 2 and 1023 are in use, entry 5 has only hi set
// and the read of entry 7 fails.
void dump_board() {
  fake_reset();
  fake_set(0, 19, LOOKUP_READ_ENABLE);
  std::vector<uint16_t> data1(LUT_ENTRIES, 0);
  std::vector<uint16_t> data3(LUT_ENTRIES, 0);
  data1[2] = 0x3322;
  data3[2] = 0x0003;
  data3[5] = 0x0001;
  data1[1023] = 0x0001;
  data1.erase(data1.begin() + 7);
  data3.erase(data3.begin() + 7);
  fake_script(7, 19, data1);
  fake_script(7, 17, data3);
  fake_fail_at(7 * 8 + 4, 5, EIO); // entry 7's first data read
}

TEST_F(lut, dump_prints_entries_in_use_and_goes_on_after_a_failed_entry) {
  dump_board();
  captured r = capture([] { return lut_read_all("eth0"); });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "2 src mac: 00:00:22:33:00:00 physical port: 3 0x0003000033220000\n"
                   "Error reading entry no 7\n"
                   "1023 src mac: 00:00:01:00:00:00 physical port: 0 0x0000000000010000\n");
  EXPECT_EQ(fake_log().size(), LUT_ENTRIES * 8U - 3U);
}

TEST_F(lut, verbose_dump_prints_every_raw_line_before_its_dump_line) {
  dump_board();
  verbose = 1;
  captured r = capture([] { return lut_read_all("eth0"); });
  std::vector<std::string> lines;
  for (size_t at = 0, nl = 0; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1) {
    lines.push_back(r.out.substr(at, nl - at));
  }
  ASSERT_EQ(lines.size(), LUT_ENTRIES + 2U);
  EXPECT_EQ(lines[2], "0x0003000033220000");
  EXPECT_EQ(lines[3], "2 src mac: 00:00:22:33:00:00 physical port: 3 0x0003000033220000");
  EXPECT_EQ(lines[6], "0x0001000000000000");
  EXPECT_EQ(lines[8], "Error reading entry no 7");
  EXPECT_EQ(lines.back(), "1023 src mac: 00:00:01:00:00:00 physical port: 0 0x0000000000010000");
}

TEST_F(lut, seek_answers_with_the_port_or_minus_two) {
  const struct {
    uint8_t mac[6]; // last byte first
    uint16_t data3;
    int answer;
    const char *address_write;
  } cases[] = {
      {{0x55, 0x44, 0x33, 0x22, 0x11, 0x00}, 0x0003, 3, "W 7 18 0x5500"},
      {{0x55, 0xFC, 0x33, 0x22, 0x11, 0x00}, 0x0003, 3, "W 7 18 0x5500"}, // fifth byte's upper bits unused
      {{0x55, 0x44, 0x33, 0x22, 0x11, 0x00}, 0x0000, 0, "W 7 18 0x5500"},
      {{0x55, 0x44, 0x33, 0x22, 0x11, 0x00}, 0xFFFF, 15, "W 7 18 0x5500"},
      {{0x55, 0x44, 0x33, 0x22, 0x11, 0x01}, 0x0003, -2, "W 7 18 0x5500"},
      {{0x55, 0x44, 0x33, 0x23, 0x11, 0x00}, 0x0003, -2, "W 7 18 0x5500"},
      {{0x9a, 0x2f, 0x33, 0x22, 0x11, 0x00}, 0x0003, 3, "W 7 18 0x9a03"},
  };
  for (const auto &c : cases) {
    fake_reset();
    fake_set(0, 19, LOOKUP_READ_ENABLE);
    example_entry();
    fake_set(7, 17, c.data3);
    captured r = capture([&] { return lut_seek_mac("eth0", c.mac); });
    EXPECT_EQ(r.status, c.answer);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(fake_log_words()[1], c.address_write);
    EXPECT_EQ(fake_log().size(), 8U);
  }
}

TEST_F(lut, seek_ends_the_process_with_255_when_the_entry_cannot_be_read) {
  fake_fail_reg(false, 7, 16, -5, EIO);
  const uint8_t mac[6] = {0x55, 0x44, 0x33, 0x22, 0x11, 0x00};
  EXPECT_EXIT(lut_seek_mac("eth0", mac), testing::ExitedWithCode(255), "");
}

} // namespace
