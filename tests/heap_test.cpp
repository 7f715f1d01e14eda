// No operation takes anything from the heap: each runs whole in-process on
// the simulated board's demo board, and every allocation in the process is
// counted, the C library's included. Exits non-zero if one allocated.
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"

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

int main() {
  static char miictl[] = "miictl", o[] = "-o", n[] = "-n", eth0[] = "eth0", eth1[] = "eth1", i[] = "-i", i55[] = "55",
              m[] = "-m", mac[] = "00:11:22:33:44:55", all[] = "read-lut-all", one[] = "read-lut-one",
              seek[] = "seek-for-mac", phy[] = "phy-status", bad[] = "-x";
  struct {
    int status; // what the run returns: the board answered (eth1: it refused)
    char *argv[8];
  } runs[] = {{0, {miictl, o, all, n, eth0}},          {0, {miictl, o, one, i, i55, n, eth0}},
              {3, {miictl, o, seek, m, mac, n, eth0}}, {0, {miictl, o, phy, n, eth0}},
              {1, {miictl, o, one, n, eth1}},          {0, {miictl, bad}}};
  unsetenv("MII_SIM_BOARD");
  // Standard output's buffer, which stdio takes from the heap, is made first.
  if (std::freopen("/dev/null", "w", stdout) == nullptr || std::fputs(" ", stdout) < 0) {
    return 2;
  }
  int failed = 0;
  for (auto &run : runs) {
    int argc = 0;
    while (run.argv[argc] != nullptr) {
      argc++;
    }
    unsigned long before = allocations;
    int status = cli_main(argc, run.argv);
    if (allocations != before || status != run.status) {
      std::fprintf(stderr, "FAIL: %s: %lu allocations, status %d\n", run.argv[2], allocations - before, status);
      failed = 1;
    }
  }
  return failed;
}
