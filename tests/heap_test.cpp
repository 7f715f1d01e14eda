// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// No operation takes anything from the heap: each runs whole in-process on
// the simulated board's demo board, and every allocation in the process is
// counted, the C library's included. Exits non-zero if one allocated.
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
  // Each run's status first: the board answered (eth1: it refused).
  const char *runs[] = {
      "0 -o read-lut-all -n eth0", "0 -o read-lut-one -i 55 -n eth0", "3 -o seek-for-mac -m 00:11:22:33:44:55 -n eth0",
      "0 -o phy-status -n eth0",   "1 -o read-lut-one -n eth1",       "0 -x"};
  unsetenv("MII_SIM_BOARD");
  // Standard output's buffer, which stdio takes from the heap, is made first.
  FILE *out = std::freopen("/dev/null", "w", stdout);
  std::fputs(" ", out != nullptr ? out : stderr);
  int failed = 0;
  for (const char *run : runs) {
    char line[64];
    std::snprintf(line, sizeof line, "miictl %s", run + 2);
    char *argv[8] = {};
    int argc = 0;
    for (char *word = std::strtok(line, " "); word != nullptr; word = std::strtok(nullptr, " ")) {
      argv[argc++] = word;
    }
    unsigned long before = allocations;
    int status = cli_main(argc, argv);
    if (allocations != before || status != std::atoi(run)) {
      std::fprintf(stderr, "FAIL: %s: %lu allocations, status %d\n", run, allocations - before, status);
      failed = 1;
    }
  }
  return failed;
}
