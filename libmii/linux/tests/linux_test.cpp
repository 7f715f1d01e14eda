// libmii.so's requests to the kernel and its statuses. socket and ioctl are
// replaced at link time (-Wl,--wrap): socket opens a real socket unless told
// to fail, ioctl records the request and answers it without reaching a driver.
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <string>
#include <sys/socket.h>

#include "mdio/mdio.h"

constexpr int ERRNO_BEFORE = EXDEV;       // in errno before a call that must leave it alone
constexpr uint16_t VALUE_BEFORE = 0x5A5A; // in the caller's variable before a read that must not store

static struct {
  int socket_calls, socket_errno, socket_domain, socket_type, socket_fd; // socket_errno: fail with it
  int ioctl_calls, ioctl_errno, ioctl_fd;                                // ioctl_errno: fail with it
  unsigned long ioctl_request;
  std::string name;   // the last request's ifr_name, up to its terminator
  mii_ioctl_data mii; // and its MII data
  uint16_t val_out;   // what a successful ioctl answers
} fake;

extern "C" int __real_socket(int domain, int type, int protocol); // NOLINT(bugprone-reserved-identifier)

extern "C" int __wrap_socket(int domain, int type, int protocol) { // NOLINT(bugprone-reserved-identifier)
  fake.socket_calls++;
  fake.socket_domain = domain;
  fake.socket_type = type;
  if (fake.socket_errno != 0) {
    errno = fake.socket_errno;
    return -1;
  }
  return fake.socket_fd = __real_socket(domain, type, protocol);
}

extern "C" int __wrap_ioctl(int fd, unsigned long request, ...) { // NOLINT(bugprone-reserved-identifier)
  va_list args;
  va_start(args, request);
  auto *ifr = va_arg(args, ifreq *);
  va_end(args);
  fake.ioctl_calls++;
  fake.ioctl_fd = fd;
  fake.ioctl_request = request;
  fake.name.assign(ifr->ifr_name, strnlen(ifr->ifr_name, IFNAMSIZ));
  std::memcpy(&fake.mii, &ifr->ifr_ifru, sizeof fake.mii);
  // A failure still leaves an answer, a success may still change errno: the caller must see neither.
  mii_ioctl_data answer = fake.mii;
  answer.val_out = fake.ioctl_errno != 0 ? 0xDEAD : fake.val_out;
  std::memcpy(&ifr->ifr_ifru, &answer, sizeof answer);
  errno = fake.ioctl_errno != 0 ? fake.ioctl_errno : ESRCH;
  return fake.ioctl_errno != 0 ? -1 : 0;
}

// NOLINTNEXTLINE(bugprone-reserved-identifier): ioctl of a 32-bit C library with 64-bit time
extern "C" int __wrap___ioctl_time64(int fd, unsigned long request, ...) __attribute__((alias("__wrap_ioctl")));

// Expects a read and a write to fail with `status`, returned and left in
// errno, making `ioctls` ioctl calls in all; the read stores nothing.
static void expect_failure(const char *nic, uint16_t phy, int reg, int status, int ioctls) {
  SCOPED_TRACE(testing::Message() << nic << " phy " << phy << " reg " << reg << ": " << std::strerror(status));
  int calls = fake.ioctl_calls;
  uint16_t value = VALUE_BEFORE;
  errno = 0;
  EXPECT_EQ(mdio_read(nic, phy, reg, &value), status);
  EXPECT_EQ(errno, status);
  EXPECT_EQ(value, VALUE_BEFORE);
  errno = 0;
  EXPECT_EQ(mdio_write(nic, phy, reg, 0), status);
  EXPECT_EQ(errno, status);
  EXPECT_EQ(fake.ioctl_calls - calls, ioctls);
}

TEST(MiiLinux, FailedOpensAreRetriedThenOneSocketServesEveryAccess) {
  ASSERT_EQ(fake.socket_calls, 0) << "must be the first test in its process";
  for (int refusal : {EMFILE, ENFILE, EACCES}) {
    fake.socket_errno = refusal;
    expect_failure("eth0", 7, 16, refusal, 0);
  }
  EXPECT_EQ(fake.socket_calls, 6);
  fake.socket_errno = 0;
  for (int i = 0; i < 64; i++) {
    uint16_t value = 0;
    ASSERT_EQ(i % 2 == 0 ? mdio_read("eth0", 7, i % 32, &value) : mdio_write("eth0", 7, i % 32, 0), 0);
  }
  EXPECT_EQ(fake.socket_calls, 7);
  EXPECT_EQ(fake.ioctl_calls, 64);
  EXPECT_EQ(fake.ioctl_fd, fake.socket_fd);
  EXPECT_EQ(fake.socket_domain, AF_INET);
  EXPECT_EQ(fake.socket_type & ~SOCK_CLOEXEC, SOCK_DGRAM);
  EXPECT_EQ(fcntl(fake.socket_fd, F_GETFD), FD_CLOEXEC); // still open, not inherited by programs the caller starts
}

TEST(MiiLinux, EachAccessRequestsItsRegister) {
  struct access_case {
    const char *nic;
    uint16_t phy, reg, value; // value: the driver's answer to a read, what a write writes
  };
  constexpr access_case CASES[] = {
      {"eth0", 7, 16, 0xBEEF}, {"abcdefghijklmno", 31, 0, 0xFFFF} /* longest name */, {"e", 0, 31, 0x0001}};
  for (const access_case &c : CASES) {
    for (bool read : {true, false}) {
      SCOPED_TRACE(testing::Message() << c.nic << (read ? " read" : " write"));
      fake.val_out = c.value;
      uint16_t value = VALUE_BEFORE;
      errno = ERRNO_BEFORE;
      EXPECT_EQ(read ? mdio_read(c.nic, c.phy, c.reg, &value) : mdio_write(c.nic, c.phy, c.reg, c.value), 0);
      EXPECT_EQ(errno, ERRNO_BEFORE);
      EXPECT_EQ(fake.ioctl_request, read ? SIOCGMIIREG : SIOCSMIIREG);
      EXPECT_EQ(fake.name, c.nic);
      EXPECT_EQ(fake.mii.phy_id, c.phy);
      EXPECT_EQ(fake.mii.reg_num, c.reg);
      EXPECT_EQ(read ? value : fake.mii.val_in, c.value);
    }
  }
}

TEST(MiiLinux, DriverRefusalIsTheStatusAndErrno) {
  for (int refusal : {EOPNOTSUPP, EPERM, ENODEV, EIO}) { // no MII access, no CAP_NET_ADMIN, no interface, bus fault
    fake.ioctl_errno = refusal;
    expect_failure("eth0", 7, 16, refusal, 2);
  }
}

TEST(MiiLinux, BadArgumentsAreRefusedWithoutSystemCall) {
  int calls = fake.socket_calls + fake.ioctl_calls;
  expect_failure("abcdefghijklmnop", 7, 16, ENODEV, 0); // 16 characters: no room for the terminator
  expect_failure("", 7, 16, ENODEV, 0);
  expect_failure(nullptr, 7, 16, ENODEV, 0);
  expect_failure("eth0", 32, 16, EINVAL, 0);
  expect_failure("eth0", 7, 32, EINVAL, 0);
  expect_failure("eth0", 7, -1, EINVAL, 0);
  errno = 0;
  EXPECT_EQ(mdio_read("eth0", 7, 16, nullptr), EINVAL);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(fake.socket_calls + fake.ioctl_calls, calls);
}
