// What the simulated demo board holds at power-on, for the in-process
// boards that stand in for it.
#pragma once

#include <cstdint>

constexpr uint16_t DEMO_CFG = 0x0123; // PHY 0 register 19: lookup reads not enabled yet
constexpr int DEMO_BUSY_POLLS = 1;    // status reads that show busy after each read command

struct demo_phy {
  uint16_t bmcr;
  uint16_t bmsr;
};

// PHYs 0-8: registers 0 and 1.
constexpr demo_phy DEMO_PHYS[] = {{0x3100, 0x786D}, {0x3100, 0x7869}, {0x2100, 0x786D},
                                  {0x0000, 0x7869}, {0x1000, 0x786D}, {0x0100, 0x786D},
                                  {0x3100, 0x7869}, {0x3100, 0x786D}, {0x1100, 0x7869}};

struct demo_entry {
  uint16_t index;
  uint32_t hi; // registers 17:18
  uint32_t lo; // registers 19:20
};

// The lookup table entries in use; every other entry reads as zero.
constexpr demo_entry DEMO_LUT[] = {{1, 0x00000100, 0x105e0002},
                                   {85, 0x00035544, 0x33221100},
                                   {455, 0x0012c701, 0x44eb27b8},
                                   {515, 0x0001037e, 0x0a211b00},
                                   {922, 0x000f9a2f, 0xc1605ea4}};

// What a dump of the demo board prints.
constexpr const char *DEMO_DUMP = "1 src mac: 02:00:5e:10:00:01 physical port: 0 0x00000100105e0002\n"
                                  "85 src mac: 00:11:22:33:44:55 physical port: 3 0x0003554433221100\n"
                                  "455 src mac: b8:27:eb:44:01:c7 physical port: 2 0x0012c70144eb27b8\n"
                                  "515 src mac: 00:1b:21:0a:7e:03 physical port: 1 0x0001037e0a211b00\n"
                                  "922 src mac: a4:5e:60:c1:2f:9a physical port: 15 0x000f9a2fc1605ea4\n";
