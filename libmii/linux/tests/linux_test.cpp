// libmii.so's requests to the kernel and its statuses. socket and ioctl are
// replaced at link time (-Wl,--wrap): socket opens a real socket unless told
// to fail, ioctl records the request and answers it without reaching a driver.
// Exits non-zero after reporting every check that failed.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include "mdio/mdio.h"

constexpr int ERRNO_BEFORE = EXDEV;       // in errno before a call that must leave it alone
constexpr uint16_t VALUE_BEFORE = 0x5A5A; // in the caller's variable before a read that must not store

static struct {
  int socket_calls, socket_errno, socket_domain, socket_type, socket_fd; // socket_errno: fail with it
  int ioctl_calls, ioctl_errno, ioctl_fd;                                // ioctl_errno: fail with it
  unsigned long ioctl_request;
  char name[IFNAMSIZ + 1]; // the last request's ifr_name
  mii_ioctl_data mii;      // and its MII data
  uint16_t val_out;        // what a successful ioctl answers
} fake;

static int failures = 0;
#define CHECK(what, cond) ((cond) || (std::printf("FAIL line %d, %s: %s\n", __LINE__, what, #cond), failures++))

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
  std::memcpy(fake.name, ifr->ifr_name, IFNAMSIZ);
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

// A read and a write both fail with `status`, returned and left in errno,
// after `ioctls` ioctl calls in all; the read stores nothing.
static void expect_failure(const char *nic, uint16_t phy, int reg, int status, int ioctls) {
  int calls = fake.ioctl_calls;
  uint16_t value = VALUE_BEFORE;
  errno = 0;
  CHECK(nic, mdio_read(nic, phy, reg, &value) == status && errno == status && value == VALUE_BEFORE);
  errno = 0;
  CHECK(nic, mdio_write(nic, phy, reg, 0) == status && errno == status);
  CHECK(nic, fake.ioctl_calls - calls == ioctls);
}

int main() {
  close(STDIN_FILENO);                           // the socket then gets descriptor 0, as good as any other
  for (int refusal : {EMFILE, ENFILE, EACCES}) { // a failed open is tried again on the next access
    fake.socket_errno = refusal;
    expect_failure("eth0", 7, 16, refusal, 0);
  }
  fake.socket_errno = 0;
  for (int i = 0; i < 64; i++) {
    uint16_t value = 0;
    CHECK("access", (i % 2 == 0 ? mdio_read("eth0", 7, i % 32, &value) : mdio_write("eth0", 7, i % 32, 0)) == 0);
  }
  CHECK("one socket", fake.socket_calls == 7 && fake.ioctl_calls == 64 && fake.ioctl_fd == fake.socket_fd);
  CHECK("socket", fake.socket_domain == AF_INET && (fake.socket_type & ~SOCK_CLOEXEC) == SOCK_DGRAM);
  CHECK("not inherited", fcntl(fake.socket_fd, F_GETFD) == FD_CLOEXEC);

  struct {
    const char *nic;
    uint16_t phy, reg, value; // value: the driver's answer to a read, what a write writes
  } accesses[] = {{"eth0", 7, 16, 0xBEEF}, {"abcdefghijklmno", 31, 0, 0xFFFF} /* longest name */, {"e", 0, 31, 1}};
  for (const auto &a : accesses) {
    for (bool read : {true, false}) {
      fake.val_out = a.value;
      uint16_t value = VALUE_BEFORE;
      errno = ERRNO_BEFORE;
      CHECK(a.nic, (read ? mdio_read(a.nic, a.phy, a.reg, &value) : mdio_write(a.nic, a.phy, a.reg, a.value)) == 0);
      CHECK(a.nic, errno == ERRNO_BEFORE && fake.ioctl_request == (read ? SIOCGMIIREG : SIOCSMIIREG));
      CHECK(a.nic, std::strcmp(fake.name, a.nic) == 0 && fake.mii.phy_id == a.phy && fake.mii.reg_num == a.reg);
      CHECK(a.nic, (read ? value : fake.mii.val_in) == a.value);
    }
  }

  // The driver's refusals: no MII access, no CAP_NET_ADMIN, no interface, a bus fault, a signal.
  for (int refusal : {EOPNOTSUPP, EPERM, ENODEV, EIO, EINTR}) {
    fake.ioctl_errno = refusal;
    expect_failure("eth0", 7, 16, refusal, 2);
  }

  // Arguments the kernel must not see: refused before any system call.
  int calls = fake.socket_calls + fake.ioctl_calls;
  expect_failure("abcdefghijklmnop", 7, 16, ENODEV, 0); // 16 characters: no room for the terminator
  expect_failure("", 7, 16, ENODEV, 0);
  expect_failure(nullptr, 7, 16, ENODEV, 0);
  for (int reg : {32, -1, 0x10010}) { // the last would wrap to 16 in the request's 16 bits
    expect_failure("eth0", 7, reg, EINVAL, 0);
  }
  expect_failure("eth0", 32, 16, EINVAL, 0);
  errno = 0;
  CHECK("null value", mdio_read("eth0", 7, 16, nullptr) == EINVAL && errno == EINVAL);
  CHECK("no system call", fake.socket_calls + fake.ioctl_calls == calls);
  return failures == 0 ? 0 : 1;
}
