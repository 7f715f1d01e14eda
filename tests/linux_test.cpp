// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii.so's socket, bus lock and statuses where the kernel cannot be made
// to fail on demand, with socket, ioctl, open, flock and nanosleep replaced
// at link time (-Wl,--wrap): socket opens a real socket unless told to fail,
// ioctl answers without a driver, the lock file is /dev/null and flock and
// nanosleep do as each case says. What each request holds, and that the lock
// keeps runs apart, is checked against real drivers (tests/vm).
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/wait.h>
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

static int open_calls, open_flags, open_errno;   // open_errno: every open fails with it
static int flock_calls, flock_busy, flock_errno; // flock_busy: held elsewhere for that many tries
static bool flock_exclusive = true;              // every try for the lock an exclusive one that cannot block
static int sleep_calls, sleep_errno;

extern "C" int __real_open(const char *path, int flags, ...); // NOLINT(bugprone-reserved-identifier)

extern "C" int __wrap_open(const char * /*path*/, int flags, ...) { // NOLINT(bugprone-reserved-identifier)
  open_calls++, open_flags |= flags, errno = open_errno;
  return open_errno != 0 ? -1 : __real_open("/dev/null", O_RDONLY | O_CLOEXEC);
}

extern "C" int __wrap_flock(int /*fd*/, int operation) { // NOLINT(bugprone-reserved-identifier)
  flock_calls++, flock_exclusive = flock_exclusive && operation == (LOCK_EX | LOCK_NB);
  errno = flock_busy > 0 ? (flock_busy--, EWOULDBLOCK) : flock_errno;
  return errno != 0 ? -1 : 0;
}

extern "C" int __wrap_nanosleep(const timespec * /*t*/, timespec * /*left*/) { // NOLINT(bugprone-reserved-identifier)
  sleep_calls++, errno = sleep_errno;
  return sleep_errno != 0 ? -1 : 0;
}

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

// The bus lock, once for each way the first access can find it, in a
// process of its own as the lock is the process's: three accesses, of which
// only the first may try for the lock; all get `status`.
struct lock_case {
  const char *name;
  int open_errno, flock_busy, flock_errno, sleep_errno;
  int status, opens, flocks, sleeps;
};
constexpr lock_case LOCK_CASES[] = {
    {"free", 0, 0, 0, 0, 0, 1, 1, 0},
    {"held a while", 0, 5, 0, 0, 0, 1, 6, 5},
    {"held throughout: 30 s of 10 ms pauses", 0, INT_MAX, 0, 0, EBUSY, 1, 3001, 3000},
    {"no way to wait: never spun on", 0, INT_MAX, 0, ENOSYS, EBUSY, 1, 1, 1},
    {"no file locking in the kernel", 0, 0, ENOSYS, 0, 0, 1, 1, 0},
    {"no lock directory", ENOENT, 0, 0, 0, 0, 2, 0, 0},
    {"a lock file nobody may read", EACCES, 0, 0, 0, 0, 1, 0, 0},
};

static void lock_case_run(const lock_case &c) {
  open_errno = c.open_errno, flock_busy = c.flock_busy, flock_errno = c.flock_errno, sleep_errno = c.sleep_errno;
  uint16_t value = 0;
  for (int i = 0; i < 3; i++) {
    errno = ERRNO_BEFORE;
    int status = i == 1 ? mdio_write("eth0", 7, 16, 0) : mdio_read("eth0", 7, 16, &value);
    CHECK(c.name, status == c.status && errno == (status != 0 ? status : ERRNO_BEFORE));
  }
  CHECK(c.name, open_calls == c.opens && flock_calls == c.flocks && sleep_calls == c.sleeps);
  CHECK(c.name, ioctl_calls == (c.status == 0 ? 3 : 0) && (open_flags & O_CLOEXEC) != 0 && flock_exclusive);
}

static void lock_cases() {
  for (const lock_case &c : LOCK_CASES) {
    int status = 0;
    pid_t pid = fork();
    if (pid == 0) {
      lock_case_run(c);
      _exit(failures == 0 ? 0 : 1);
    }
    CHECK(c.name, pid > 0 && waitpid(pid, &status, 0) == pid && status == 0);
  }
}

int main() {
  lock_cases();                                  // before any access of this process
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
  uint16_t value = 0;
  ioctl_errno = 0;
  CHECK("PHY 31, register 31: clause 22's last",
        mdio_read("eth0", 31, 31, &value) == 0 && socket_calls + ioctl_calls == calls + 1);
  calls = socket_calls + ioctl_calls;
  errno = 0;
  CHECK("null value", mdio_read("eth0", 7, 16, nullptr) == EINVAL && errno == EINVAL);
  CHECK("no system call", socket_calls + ioctl_calls == calls);
  return failures == 0 ? 0 : 1;
}
