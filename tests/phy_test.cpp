// The PHY report: one line per PHY 0-8 from the control and status registers.
#include <gtest/gtest.h>
#include <string>

#include "phy/phy.h"
#include "tests/capture.h"
#include "tests/fake_mdio.h"

namespace {

TEST(phy_report, decodes_control_and_status_bits) {
  const struct {
    uint16_t bmcr;
    uint16_t bmsr;
    const char *shown;
  } cases[] = {
      {0x0000, 0x0000, "Autoneg: disabled\t speed: 10\t duplex: half\t link detected: no \n"},
      {0x3100, 0x786D, "Autoneg: enabled \t speed: 100\t duplex: full\t link detected: yes\n"},
      {0x2100, 0x0000, "Autoneg: disabled\t speed: 100\t duplex: full\t link detected: no \n"},
      {0x1000, 0x0004, "Autoneg: enabled \t speed: 10\t duplex: half\t link detected: yes\n"},
      {0xCEFF, 0xFFFB, "Autoneg: disabled\t speed: 10\t duplex: half\t link detected: no \n"}, // every other bit
  };
  for (const auto &c : cases) {
    fake_reset();
    fake_set(8, 0, c.bmcr);
    fake_set(8, 1, c.bmsr);
    captured r = capture([] { return phy_status("eth0"); });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(r.out.find("PHY 8: ") + 7), c.shown) << c.bmcr;
  }
}

} // namespace
