// libmii.so's interface on the in-process demo board: every access succeeds.
#include "mdio/mdio.h"
#include "tests/board_mdio.h"

extern "C" int mdio_read(const char * /*nic*/, uint16_t phy, int reg, uint16_t *value) {
  *value = board_read(phy, reg);
  return 0;
}

extern "C" int mdio_write(const char * /*nic*/, uint16_t phy, int reg, uint16_t value) {
  board_write(phy, reg, value);
  return 0;
}
