// The PHY report: one line per PHY 0-8 from the control and status
// registers, stopping only on a positive read status.
#include <cerrno>
#include <gtest/gtest.h>
#include <string>

#include "phy/phy.h"
#include "tests/capture.h"
#include "tests/fake_mdio.h"

namespace {

std::string line(int phy, const char *autoneg, int speed, const char *duplex, const char *link) {
  char text[128];
  std::snprintf(text, sizeof text, "PHY %d: Autoneg: %s\t speed: %d\t duplex: %s\t link detected: %s\n", phy, autoneg,
                speed, duplex, link);
  return text;
}

TEST(phy_report, decodes_control_and_status_bits) {
  const struct {
    uint16_t bmcr;
    uint16_t bmsr;
    std::string shown;
  } cases[] = {
      {0x0000, 0x0000, line(3, "disabled", 10, "half", "no ")},
      {0x3100, 0x786D, line(3, "enabled ", 100, "full", "yes")},
      {0x2100, 0x0000, line(3, "disabled", 100, "full", "no ")},
      {0x1000, 0x0004, line(3, "enabled ", 10, "half", "yes")},
      {0xCEFF, 0xFFFB, line(3, "disabled", 10, "half", "no ")}, // every other bit set
  };
  for (const auto &c : cases) {
    fake_reset();
    fake_set(3, 0, c.bmcr);
    fake_set(3, 1, c.bmsr);
    captured r = capture([] { return phy_status("eth0"); });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(r.out.find("PHY 3"), c.shown.size()), c.shown) << c.bmcr;
  }
}

TEST(phy_report, reads_register_0_then_1_of_phys_0_to_8) {
  fake_reset();
  captured r = capture([] { return phy_status("eth0"); });
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(fake_log().size(), 18U);
  for (size_t i = 0; i < 18; i++) {
    EXPECT_FALSE(fake_log()[i].write);
    EXPECT_EQ(fake_log()[i].phy, i / 2);
    EXPECT_EQ(fake_log()[i].reg, static_cast<int>(i % 2));
  }
  std::string all;
  for (int phy = 0; phy <= 8; phy++) {
    all += line(phy, "disabled", 10, "half", "no ");
  }
  EXPECT_EQ(r.out, all);
}

TEST(phy_report, positive_status_stops_after_the_phys_already_shown) {
  fake_reset();
  fake_fail_reg(false, 5, 1, 5, EIO);
  captured r = capture([] { return phy_status("eth0"); });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find("PHY 5"), std::string::npos);
  EXPECT_NE(r.out.find("PHY 4"), std::string::npos);
  EXPECT_EQ(fake_log().size(), 12U);
}

// A negative status is no failure here; the line shows the zeroed value,
// never what the library may have left behind.
TEST(phy_report, negative_status_prints_zeroed_values_and_goes_on) {
  fake_reset();
  fake_set(2, 0, 0x3100);
  fake_set(2, 1, 0x0004);
  fake_fail_at(4, -5, EIO); // PHY 2 register 0
  captured r = capture([] { return phy_status("eth0"); });
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find(line(2, "disabled", 10, "half", "yes")), std::string::npos);
  EXPECT_NE(r.out.find("PHY 8"), std::string::npos);
}

} // namespace
