// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The whole tool in-process on a board the input describes, with the board
// file's own faults: the input up to its first NUL byte is the board file,
// the rest the arguments, split at NUL bytes. The simulated board is built
// in and starts afresh for every input. Besides the sanitizers' checks, it
// stops on an exit status no operation gives and on exit() with any status
// but the failed seek's -1, which comes back here (exit is wrapped).
#undef NDEBUG
#include <cassert>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "cli/cli.h"
#include "libmii/sim/board.h"

constexpr int MAX_ARGS = 16;

static char board_path[] = "/tmp/fuzz-miictl-board-XXXXXX";
static jmp_buf exit_jump;
static int exit_status = 0;
static bool trapping = false;

extern "C" [[noreturn]] void __real_exit(int status); // NOLINT(bugprone-reserved-identifier)

extern "C" [[noreturn]] void __wrap_exit(int status) { // NOLINT(bugprone-reserved-identifier)
  if (!trapping) {
    __real_exit(status);
  }
  exit_status = status;
  std::longjmp(exit_jump, 1); // NOLINT(cert-err52-cpp): the tool's stack holds nothing to clean up
}

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
  int fd = mkstemp(board_path);
  if (fd < 0 || close(fd) != 0 || std::freopen("/dev/null", "w", stdout) == nullptr) {
    std::abort();
  }
  setenv("MII_SIM_BOARD", board_path, 1);
  unsetenv("MII_SIM_TRACE");
  unsetenv("MII_SIM_REPLAY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const auto *text = reinterpret_cast<const char *>(data);
  const char *end = text + size;
  const auto *nul = static_cast<const char *>(std::memchr(text, 0, size));
  FILE *board = std::fopen(board_path, "w");
  if (board == nullptr) {
    std::abort();
  }
  std::fwrite(text, 1, static_cast<size_t>((nul != nullptr ? nul : end) - text), board);
  std::fclose(board);
  sim_restart();

  // Each argument in a block of exactly its size: reading past it is caught.
  static char program[] = "miictl";
  char *argv[MAX_ARGS + 2] = {program};
  int argc = 1;
  for (const char *at = nul != nullptr ? nul + 1 : end; at < end && argc <= MAX_ARGS; argc++) {
    const auto *stop = static_cast<const char *>(std::memchr(at, 0, static_cast<size_t>(end - at)));
    stop = stop != nullptr ? stop : end;
    argv[argc] = strndup(at, static_cast<size_t>(stop - at));
    at = stop + 1;
  }
  volatile int status = 0;
  trapping = true;
  if (setjmp(exit_jump) == 0) {
    status = cli_main(argc, argv);
  } else {
    status = 1000 + exit_status;
  }
  trapping = false;
  std::fflush(stdout);
  for (int i = 1; i < argc; i++) {
    std::free(argv[i]);
  }
  assert(status == 1000 - 1 || (status >= -2 && status <= 15)); // -2: not found, 1: a failed report
  return 0;
}
