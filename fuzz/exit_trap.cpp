#include "fuzz/exit_trap.h"

#include <csetjmp>

#include "cli/cli.h"

namespace {

std::jmp_buf trap;
bool armed = false;
int exit_status = 0;

} // namespace

extern "C" [[noreturn]] void __real_exit(int status); // NOLINT(bugprone-reserved-identifier)

// The tool keeps nothing on the stack that needs unwinding (plain C-style
// frames), so jumping over its frames loses nothing but the frames.
extern "C" [[noreturn]] void __wrap_exit(int status) { // NOLINT(bugprone-reserved-identifier)
  if (armed) {
    armed = false;
    exit_status = status;
    std::longjmp(trap, 1);
  }
  __real_exit(status);
}

int exit_trap_cli_main(int argc, char **argv, bool *exited) {
  *exited = false;
  armed = true;
  if (setjmp(trap) == 0) {
    exit_status = cli_main(argc, argv);
  } else {
    *exited = true;
  }
  armed = false;
  return exit_status & 0xFF;
}
