#include "tests/board_mdio.h"

#include <cstring>

#include "lut/lut.h"
#include "tests/demo_board.h"

namespace {

constexpr int PHYS = 32;
constexpr int REGS = 32;

uint16_t regs[PHYS][REGS];
lut_entry table[LUT_ENTRIES];
uint16_t address;
int busy_left;
unsigned long accesses;

} // namespace

void board_reset() {
  std::memset(regs, 0, sizeof regs);
  std::memset(table, 0, sizeof table);
  for (int phy = 0; phy < static_cast<int>(sizeof DEMO_PHYS / sizeof DEMO_PHYS[0]); phy++) {
    regs[phy][0] = DEMO_PHYS[phy].bmcr;
    regs[phy][1] = DEMO_PHYS[phy].bmsr;
  }
  regs[LUT_CFG_PHY_ADDR][LUT_REG_CFG] = DEMO_CFG;
  for (const demo_entry &e : DEMO_LUT) {
    table[e.index] = {e.lo, e.hi};
  }
  address = 0;
  busy_left = 0;
  accesses = 0;
}

unsigned long board_accesses() { return accesses; }

uint16_t board_read(uint16_t phy, int reg) {
  accesses++;
  if (phy == LUT_PHY_ADDR && reg == LUT_REG_CTRL) {
    uint16_t ctrl = busy_left > 0 ? LUT_CTRL_BUSY : 0;
    busy_left -= busy_left > 0 ? 1 : 0;
    return ctrl;
  }
  return regs[phy % PHYS][reg % REGS];
}

void board_write(uint16_t phy, int reg, uint16_t value) {
  accesses++;
  if (phy == LUT_PHY_ADDR && reg == LUT_REG_DATA2) {
    address = value;
  } else if (phy == LUT_PHY_ADDR && reg == LUT_REG_CTRL) {
    lut_entry e = table[(address >> 8) | (address & 0x0003) << 8];
    regs[LUT_PHY_ADDR][LUT_REG_DATA3] = static_cast<uint16_t>(e.hi >> 16);
    regs[LUT_PHY_ADDR][LUT_REG_DATA2] = static_cast<uint16_t>(e.hi);
    regs[LUT_PHY_ADDR][LUT_REG_DATA1] = static_cast<uint16_t>(e.lo >> 16);
    regs[LUT_PHY_ADDR][LUT_REG_DATA0] = static_cast<uint16_t>(e.lo);
    busy_left = DEMO_BUSY_POLLS;
  } else {
    regs[phy % PHYS][reg % REGS] = value;
  }
}
