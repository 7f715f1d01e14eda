// What the simulated demo board shows: its table dump and PHY report.
#pragma once

constexpr const char *DEMO_DUMP = "1 src mac: 02:00:5e:10:00:01 physical port: 0 0x00000100105e0002\n"
                                  "85 src mac: 00:11:22:33:44:55 physical port: 3 0x0003554433221100\n"
                                  "455 src mac: b8:27:eb:44:01:c7 physical port: 2 0x0012c70144eb27b8\n"
                                  "515 src mac: 00:1b:21:0a:7e:03 physical port: 1 0x0001037e0a211b00\n"
                                  "922 src mac: a4:5e:60:c1:2f:9a physical port: 15 0x000f9a2fc1605ea4\n";

constexpr const char *DEMO_PHYS = "PHY 0: Autoneg: enabled \t speed: 100\t duplex: full\t link detected: yes\n"
                                  "PHY 1: Autoneg: enabled \t speed: 100\t duplex: full\t link detected: no \n"
                                  "PHY 2: Autoneg: disabled\t speed: 100\t duplex: full\t link detected: yes\n"
                                  "PHY 3: Autoneg: disabled\t speed: 10\t duplex: half\t link detected: no \n"
                                  "PHY 4: Autoneg: enabled \t speed: 10\t duplex: half\t link detected: yes\n"
                                  "PHY 5: Autoneg: disabled\t speed: 10\t duplex: full\t link detected: yes\n"
                                  "PHY 6: Autoneg: enabled \t speed: 100\t duplex: full\t link detected: no \n"
                                  "PHY 7: Autoneg: enabled \t speed: 100\t duplex: full\t link detected: yes\n"
                                  "PHY 8: Autoneg: enabled \t speed: 10\t duplex: full\t link detected: no \n";
