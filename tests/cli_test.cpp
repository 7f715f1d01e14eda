// The command line as a script sees it: what each argument vector prints,
// which status it ends with, and whether it touches the bus at all.
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/capture.h"
#include "tests/fake_mdio.h"

namespace {

constexpr const char *USAGE =
    "miictl: simple app that allows talking with PHY IC and Realtek 830x switches\nUsage:\n\tmiictl -o operation -p "
    "phyid -r register -v value\n\t\t-o - operation \n\t\t\t- read-lut-one - \n\t\t\t- read-lut-all - \n\t\t\t- "
    "seek-for-mac - \n\t\t\t- phy-status   - \n\t\t\t- vlan-status  - \n\t\t-n - network interface controller i.e. "
    "eth0\n\t\t-m - mac addr in format xx:xx:xx:xx:xx:xx\n\t\t-p - phyid in hex i.e. 0x4\n\t\t-r - register number in "
    "hex i.e. 0x0a\n\t\t-v - value (mandatory for write, set, clear\n";
constexpr const char *INVALID = "one of the arguments is invalid\n";

// Runs the tool on the demo board with lookup reading enabled.
captured run(const char *args) {
  fake_reset(FAKE_ENABLED_CFG);
  return run_tool(split_args(args));
}

TEST(command_line, prints_and_exits_as_scripts_expect) {
  const std::string raw = "0x0000000000000000\n"; // entry 0 of the demo board
  const std::string dbg = "DBG oper: 5 nic: eth0 phyid: 0x";
  const struct {
    const char *args;
    std::string out;
    std::string err;
    int status;
    bool touches_bus;
  } cases[] = {
      {"", INVALID, "", 1, false},
      {"-o phy-status", INVALID, "", 1, false},
      {"-n eth0", INVALID, "", 1, false},
      {"-o bogus -n eth0", INVALID, "", 1, false},
      {"-o Read-Lut-One -n eth0", INVALID, "", 1, false},
      {"-o read-lut-one -o bogus -n eth0", raw, "", 0, true},
      {"-o vlan-status -o read-lut-one -n eth0", raw, "", 0, true},
      {"-n eth0 -o read-lut-one -h", USAGE, "", 0, false},
      {"-h -o read-lut-one -n eth0", USAGE, "", 0, false},
      {"-o read-lut-one -n eth0 -?", USAGE, "", 0, false},
      {"-o read-lut-all -n eth0 -V -h", USAGE, "", 0, false},
      {"-x", USAGE, "miictl: invalid option -- 'x'\n", 0, false},
      {"-o vlan-status -n", USAGE, "miictl: option requires an argument -- 'n'\n", 0, false},
      {"-o vlan-status -n eth0 -m", USAGE, "miictl: option requires an argument -- 'm'\n", 0, false},
      {"-V -p 0x25 -o vlan-status -n eth0", dbg + "0005 \n", "", 0, false},
      {"-V -o vlan-status -n eth0", dbg + "ffff \n", "", 0, false},
      {"-V -p ffffffffff -o vlan-status -n eth0", dbg + "001f \n", "", 0, false},
      {"foo -o vlan-status bar -n eth0", "", "", 0, false},
      {"-o -n eth0", INVALID, "", 1, false},
      {"-o vlan-status -- -n eth0", INVALID, "", 1, false},
      {"-o vlan-status -n eth0 -- -h", "", "", 0, false},
      {"-n -o -o vlan-status", "", "", 0, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args);
    captured r = run(c.args);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(!fake_log().empty(), c.touches_bus);
  }
}

// The index reaches the switch as the address word of its low ten bits.
TEST(index_option, selects_the_entry_from_its_low_ten_bits) {
  const struct {
    const char *index_args;
    const char *address_write;
  } cases[] = {{"", "W 7 18 0x0000"},
               {"-i 55", "W 7 18 0x5500"},
               {"-i 0x401", "W 7 18 0x0100"},
               {"-i 3ff", "W 7 18 0xff03"},
               {"-i 12zz", "W 7 18 0x1200"},
               {"-i -1", "W 7 18 0xff03"},
               {"-i fffffffff", "W 7 18 0xff03"},
               {"-i -fffffffff", "W 7 18 0x0000"},
               {"-i 1 -i 2", "W 7 18 0x0200"},
               {"-i +0X1f", "W 7 18 0x1f00"}};
  for (const auto &c : cases) {
    run((std::string(c.index_args) + " -o read-lut-one -n eth0").c_str());
    ASSERT_GE(fake_log_words().size(), 2U);
    EXPECT_EQ(fake_log_words()[1], c.address_write) << c.index_args; // right after the enable step's read
  }
}

// -m: six fields stored last first, each its low byte; fields a later -m
// does not convert keep the earlier -m's values.
TEST(mac_option, fills_bytes_last_field_first) {
  const struct {
    std::vector<const char *> texts;
    uint8_t mac[6];
  } cases[] = {
      {{"00:11:22:33:44:55"}, {0x55, 0x44, 0x33, 0x22, 0x11, 0x00}},
      {{"00:11:22:33:44:55xyz"}, {0x55, 0x44, 0x33, 0x22, 0x11, 0x00}},
      {{"1ff:0:0:0:0:0"}, {0, 0, 0, 0, 0, 0xff}},
      {{"0xa:B:c:D:e:F"}, {0x0f, 0x0e, 0x0d, 0x0c, 0x0b, 0x0a}},
      {{"00:11:22:33:44:55", "66"}, {0x55, 0x44, 0x33, 0x22, 0x11, 0x66}},
      {{"00:11:22:33:44:55", ""}, {0x55, 0x44, 0x33, 0x22, 0x11, 0x00}},
      {{"00:11:22:33:44:55", "  "}, {0x55, 0x44, 0x33, 0x22, 0x11, 0x00}},
      {{"zz"}, {0, 0, 0, 0, 0, 0}},
      {{"1:2"}, {0, 0, 0, 0, 2, 1}},
      {{}, {0, 0, 0, 0, 0, 0}},
  };
  for (const auto &c : cases) {
    cli_options opts = {};
    for (const char *text : c.texts) {
      cli_parse_mac(text, &opts);
    }
    EXPECT_EQ(std::memcmp(opts.mac, c.mac, 6), 0) << (c.texts.empty() ? "(none)" : c.texts.back());
  }
}

TEST(verbose_read_lut_one, prints_debug_enable_message_and_raw_line_twice_in_order) {
  fake_reset();
  captured r = run_tool(split_args("-V -o read-lut-one -i 55 -n eth0"));
  EXPECT_EQ(r.out, "DBG oper: 1 nic: eth0 phyid: 0xffff \nenabling lookup reading\n0x0003554433221100\n"
                   "0x0003554433221100\n");
  EXPECT_EQ(r.status, 0);
}

} // namespace
