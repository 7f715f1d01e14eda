// The tool takes nothing from the heap: each operation, run whole on the
// demo board with its output going to /dev/null, makes no allocation, in
// its own code or in the C library functions it calls.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/cli.h"
#include "lut/lut.h"
#include "tests/board_mdio.h"
#include "tests/demo_board.h"

#if defined(__SANITIZE_ADDRESS__)
#define ALLOC_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ALLOC_TEST_ASAN 1
#endif
#endif

namespace {

bool counting = false;
unsigned long allocations = 0;

void count() {
  if (counting) {
    allocations++;
  }
}

} // namespace

#ifdef ALLOC_TEST_ASAN
// The sanitizer owns malloc; it reports every allocation to this hook.
#include <sanitizer/allocator_interface.h>

namespace {
void on_malloc(const volatile void * /*ptr*/, size_t /*size*/) { count(); }
const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(on_malloc, nullptr);
} // namespace
#else
// Every allocation in the process goes through these, to the C library's
// own allocator.
extern "C" {
void *__libc_malloc(size_t size);               // NOLINT(bugprone-reserved-identifier)
void *__libc_calloc(size_t count, size_t size); // NOLINT(bugprone-reserved-identifier)
void *__libc_realloc(void *ptr, size_t size);   // NOLINT(bugprone-reserved-identifier)
void __libc_free(void *ptr);                    // NOLINT(bugprone-reserved-identifier)

void *malloc(size_t size) {
  count();
  return __libc_malloc(size);
}
void *calloc(size_t n, size_t size) {
  count();
  return __libc_calloc(n, size);
}
void *realloc(void *ptr, size_t size) {
  count();
  return __libc_realloc(ptr, size);
}
void free(void *ptr) { __libc_free(ptr); }
}
#endif

namespace {

// Each entry: enable read, address and command writes, busy polls, four
// data reads; once, the enable write.
constexpr unsigned long DUMP_ACCESSES = LUT_ENTRIES * (3 + 1 + DEMO_BUSY_POLLS + 4) + 1;

TEST(heap, no_operation_allocates) {
  const struct {
    std::vector<std::string> args;
    unsigned long accesses; // proves the operation really ran on the board
  } cases[] = {
      {{"-o", "read-lut-all", "-n", "eth0"}, DUMP_ACCESSES},
      {{"-V", "-o", "read-lut-all", "-n", "eth0"}, DUMP_ACCESSES},
      {{"-o", "read-lut-one", "-i", "55", "-n", "eth0"}, 10},
      {{"-o", "seek-for-mac", "-m", "00:11:22:33:44:55", "-n", "eth0"}, 10},
      {{"-o", "seek-for-mac", "-m", "00:11:22:33:44:56", "-n", "eth0"}, 10},
      {{"-o", "phy-status", "-n", "eth0"}, 18},
      {{"-o", "vlan-status", "-n", "eth0"}, 0},
      {{"-o", "read-lut-all"}, 0},
      {{"-h"}, 0},
      {{"-x"}, 0},
  };
  std::fflush(stdout);
  int saved_out = dup(STDOUT_FILENO);
  int saved_err = dup(STDERR_FILENO);
  int null = open("/dev/null", O_WRONLY);
  ASSERT_GE(null, 0);
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  // Standard output takes its buffer on its first write; that is the C
  // library's once-per-process cost, not the operation's.
  std::printf("\n");
  std::fflush(stdout);
  std::vector<unsigned long> counted;
  std::vector<unsigned long> accesses;
  for (const auto &c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "miictl");
    std::vector<char *> argv;
    for (std::string &a : args) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    board_reset();
    allocations = 0;
    counting = true;
    cli_main(static_cast<int>(args.size()), argv.data());
    std::fflush(stdout);
    counting = false;
    counted.push_back(allocations);
    accesses.push_back(board_accesses());
  }
  dup2(saved_out, STDOUT_FILENO);
  dup2(saved_err, STDERR_FILENO);
  close(saved_out);
  close(saved_err);
  close(null);
  for (size_t i = 0; i < counted.size(); i++) {
    EXPECT_EQ(counted[i], 0U) << cases[i].args[0] << " " << cases[i].args[1];
    EXPECT_EQ(accesses[i], cases[i].accesses) << cases[i].args[0] << " " << cases[i].args[1];
  }
}

} // namespace
