// miictl run against the kernel of this machine with libmii.so over the
// MII ioctls. The interfaces used are the loopback, which has no MII bus,
// and one that does not exist: the requests are sent and refused, nothing
// reaches any hardware.
#include <cstring>
#include <gtest/gtest.h>
#include <linux/capability.h>

#include "mii_run.h"

struct kernel_case {
  const char *oper;
  const char *nic;
  const char *err;
};

// The tool's reports with the reason the kernel gave for the first request.
constexpr kernel_case PRIVILEGED_CASES[] = {
    {"read-lut-one", "lo", "error writing register\n: Operation not supported\n"},
    {"read-lut-one", "no-such-if0", "error writing register\n: No such device\n"},
    {"phy-status", "lo", "error performing operation\n: Operation not supported\n"},
    {"phy-status", "no-such-if0", "error performing operation\n: No such device\n"},
};

// Without CAP_NET_ADMIN the kernel refuses reads as well as writes.
constexpr kernel_case UNPRIVILEGED_CASES[] = {
    {"read-lut-one", "lo", "error writing register\n: Operation not permitted\n"},
    {"phy-status", "lo", "error performing operation\n: Operation not permitted\n"},
};

// A name the kernel could only look up cut short is refused by the
// library: no privilege needed, nothing reaches the kernel.
constexpr kernel_case LIBRARY_CASES[] = {
    {"read-lut-one", "abcdefghijklmnop", "error writing register\n: No such device\n"},
    {"phy-status", "abcdefghijklmnop", "error performing operation\n: No such device\n"},
};

// A user-mode emulator that does not translate the MII requests answers
// them itself with ENOSYS.
constexpr const char *EMULATOR_LACKS_MII = ": Function not implemented\n";

static bool ends_with(const std::string &text, const char *end) {
  size_t n = std::strlen(end);
  return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// Runs each case; false when the emulator turned out to pass no MII request on.
static bool run_cases(const kernel_case *cases, size_t count, bool drop_net_admin) {
  for (size_t i = 0; i < count; i++) {
    const kernel_case &c = cases[i];
    SCOPED_TRACE(testing::Message() << "miictl -o " << c.oper << " -n " << c.nic);
    const char *argv[] = {MIICTL_PATH, "-o", c.oper, "-n", c.nic, nullptr};
    mii_run_result result = {-1, "", ""};
    EXPECT_TRUE(mii_run(argv, MII_LINUX_DIR, drop_net_admin, &result));
    if (mii_run_emulated() && ends_with(result.err, EMULATOR_LACKS_MII)) {
      return false;
    }
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.status, 1);
  }
  return true;
}

TEST(MiictlKernel, RefusalsAreReportedWithTheKernelsReason) {
  if (!mii_has_capability(CAP_NET_ADMIN)) {
    GTEST_SKIP() << "needs CAP_NET_ADMIN: without it every request is refused with EPERM";
  }
  if (!run_cases(PRIVILEGED_CASES, std::size(PRIVILEGED_CASES), false)) {
    GTEST_SKIP() << "the emulator does not pass MII requests to the kernel";
  }
}

TEST(MiictlKernel, WithoutNetAdminEveryRequestIsRefused) {
  if (!mii_has_capability(CAP_SETPCAP)) {
    GTEST_SKIP() << "needs CAP_SETPCAP to start miictl without CAP_NET_ADMIN";
  }
  if (!run_cases(UNPRIVILEGED_CASES, std::size(UNPRIVILEGED_CASES), true)) {
    GTEST_SKIP() << "the emulator does not pass MII requests to the kernel";
  }
}

TEST(MiictlKernel, OverlongNameIsRefusedBeforeTheKernel) {
  EXPECT_TRUE(run_cases(LIBRARY_CASES, std::size(LIBRARY_CASES), false));
}
