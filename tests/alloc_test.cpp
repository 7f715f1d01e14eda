// No operation takes anything from the heap: each runs whole in-process on the simulated board's demo board
// (libmii.so), output on /dev/null, and every allocation in the process is counted, the C library's included.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/cli.h"
#include "lut/lut.h"
#include "mdio/mdio.h"

static unsigned long allocations = 0;

// Counted, then made by the C library's own allocator, whose free() takes the block back.
extern "C" {
void *__libc_malloc(size_t size);               // NOLINT(bugprone-reserved-identifier)
void *__libc_calloc(size_t count, size_t size); // NOLINT(bugprone-reserved-identifier)
void *__libc_realloc(void *ptr, size_t size);   // NOLINT(bugprone-reserved-identifier)
void *malloc(size_t size) { return ++allocations, __libc_malloc(size); }
void *calloc(size_t count, size_t size) { return ++allocations, __libc_calloc(count, size); }
void *realloc(void *ptr, size_t size) { return ++allocations, __libc_realloc(ptr, size); }
}

TEST(heap, no_operation_allocates) {
  const struct {
    const char *args;
    int status;   // the board answered (eth1: it refused)
    bool enables; // the run set the lookup read enable bit
  } cases[] = {{"-o read-lut-all -n eth0", 0, true},
               {"-o read-lut-one -i 55 -n eth0", 0, true},
               {"-o seek-for-mac -m 00:11:22:33:44:55 -n eth0", 3, true},
               {"-o phy-status -n eth0", 0, false},
               {"-o read-lut-one -n eth1", 1, false},
               {"-o read-lut-all", 1, false},
               {"-x", 0, false}};
  unsetenv("MII_SIM_BOARD"); // the demo board
  int null = open("/dev/null", O_WRONLY);
  int out = dup(STDOUT_FILENO);
  dup2(null, STDERR_FILENO); // the test's failures go to standard output
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args);
    char line[64];
    std::snprintf(line, sizeof line, "miictl %s", c.args);
    char *argv[10] = {};
    int argc = 0;
    for (char *word = std::strtok(line, " "); word != nullptr; word = std::strtok(nullptr, " ")) {
      argv[argc++] = word;
    }
    mdio_write("eth0", LUT_CFG_PHY_ADDR, LUT_REG_CFG, 0x0123); // the demo's power-on value
    std::fflush(stdout); // whose buffer is there already: the test framework wrote to it
    dup2(null, STDOUT_FILENO);
    unsigned long before = allocations;
    int status = cli_main(argc, argv);
    std::fflush(stdout);
    unsigned long made = allocations - before;
    dup2(out, STDOUT_FILENO);
    uint16_t cfg = 0;
    EXPECT_EQ(mdio_read("eth0", LUT_CFG_PHY_ADDR, LUT_REG_CFG, &cfg), 0);
    EXPECT_EQ(made, 0U);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ((cfg & LOOKUP_READ_ENABLE) != 0, c.enables);
  }
}
