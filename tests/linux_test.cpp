// libmii.so's socket and statuses where the kernel cannot be made to fail on
// demand, with socket and ioctl replaced at link time (-Wl,--wrap): socket
// opens a real socket unless told to fail, ioctl answers without a driver.
// What each request holds is checked against real drivers (tests/vm).
#include <cerrno>
#include <cstdarg>
#include <cstdio>
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

static int socket_calls, socket_errno, socket_domain, socket_type, socket_fd; // socket_errno: fail with it
static int ioctl_calls, ioctl_errno, ioctl_fd;                                // ioctl_errno: fail with it
static unsigned long ioctl_request;
static int failures = 0;
#define CHECK(what, cond) ((cond) || (std::printf("FAIL line %d, %s: %s\n", __LINE__, what, #cond), failures++))

extern "C" int __real_socket(int domain, int type, int protocol); // NOLINT(bugprone-reserved-identifier)

extern "C" int __wrap_socket(int domain, int type, int protocol) { // NOLINT(bugprone-reserved-identifier)
  socket_calls++, socket_domain = domain, socket_type = type, errno = socket_errno;
  return socket_errno != 0 ? -1 : (socket_fd = __real_socket(domain, type, protocol));
}

extern "C" int __wrap_ioctl(int fd, unsigned long request, ...) { // NOLINT(bugprone-reserved-identifier)
  va_list args;
  va_start(args, request);
  auto *ifr = va_arg(args, ifreq *);
  va_end(args);
  ioctl_calls++, ioctl_fd = fd, ioctl_request = request;
  // A failure still leaves an answer, a success may still change errno: the caller must see neither.
  reinterpret_cast<mii_ioctl_data *>(&ifr->ifr_ifru)->val_out = ioctl_errno != 0 ? 0xDEAD : 0x0123;
  errno = ioctl_errno != 0 ? ioctl_errno : ESRCH;
  return ioctl_errno != 0 ? -1 : 0;
}

// NOLINTNEXTLINE(bugprone-reserved-identifier): ioctl of a 32-bit C library with 64-bit time
extern "C" int __wrap___ioctl_time64(int fd, unsigned long request, ...) __attribute__((alias("__wrap_ioctl")));

// A read and a write both fail with `status`, returned and left in errno,
// after `ioctls` ioctl calls in all; the read stores nothing.
static void expect_failure(const char *nic, uint16_t phy, int reg, int status, int ioctls) {
  int calls = ioctl_calls;
  uint16_t value = VALUE_BEFORE;
  errno = 0;
  CHECK(nic, mdio_read(nic, phy, reg, &value) == status && errno == status && value == VALUE_BEFORE);
  errno = 0;
  CHECK(nic, mdio_write(nic, phy, reg, 0) == status && errno == status && ioctl_calls - calls == ioctls);
}

int main() {
  close(STDIN_FILENO);                           // the socket then gets descriptor 0, as good as any other
  for (int refusal : {EMFILE, ENFILE, EACCES}) { // a failed open is tried again on the next access
    socket_errno = refusal;
    expect_failure("eth0", 7, 16, refusal, 0);
  }
  socket_errno = 0;
  for (int i = 0; i < 64; i++) { // every register; what each request holds is the VM checks' (tests/vm)
    uint16_t value = 0;
    errno = ERRNO_BEFORE;
    CHECK("access", (i % 2 == 0 ? mdio_read("eth0", 7, i % 32, &value) : mdio_write("eth0", 7, i % 32, 0)) == 0);
    CHECK("errno kept", errno == ERRNO_BEFORE && ioctl_request == (i % 2 == 0 ? SIOCGMIIREG : SIOCSMIIREG));
  }
  CHECK("one socket", socket_calls == 7 && ioctl_calls == 64 && ioctl_fd == socket_fd);
  CHECK("socket", socket_domain == AF_INET && (socket_type & ~SOCK_CLOEXEC) == SOCK_DGRAM);
  CHECK("not inherited", fcntl(socket_fd, F_GETFD) == FD_CLOEXEC);

  // The driver's refusals: no MII access, no CAP_NET_ADMIN, no interface, a bus fault, a signal.
  for (int refusal : {EOPNOTSUPP, EPERM, ENODEV, EIO, EINTR}) {
    ioctl_errno = refusal;
    expect_failure("eth0", 7, 16, refusal, 2);
  }

  // Arguments the kernel must not see: refused before any system call.
  int calls = socket_calls + ioctl_calls;
  for (const char *nic :
       {"abcdefghijklmnop" /* no room for the terminator */, "", static_cast<const char *>(nullptr)}) {
    expect_failure(nic, 7, 16, ENODEV, 0);
  }
  for (int reg : {32, -1, 0x10010 /* would be 16 in the request's 16 bits */}) {
    expect_failure("eth0", 7, reg, EINVAL, 0);
  }
  expect_failure("eth0", 32, 16, EINVAL, 0);
  errno = 0;
  CHECK("null value", mdio_read("eth0", 7, 16, nullptr) == EINVAL && errno == EINVAL);
  CHECK("no system call", socket_calls + ioctl_calls == calls);
  return failures == 0 ? 0 : 1;
}
