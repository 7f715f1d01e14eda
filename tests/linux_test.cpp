// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii.so's socket, bus lock and statuses where the kernel cannot be made
// to fail on demand, with socket, ioctl, open, flock and nanosleep replaced
// at link time (-Wl,--wrap): socket opens a real socket unless told to fail,
// ioctl answers without a driver, open opens the lock file in a directory
// of the test's own unless told to fail, flock takes the real lock unless
// told otherwise, and nanosleep returns at once. What each request holds,
// and that the lock keeps runs apart, is checked against real drivers
// (tests/vm); the lock's place as root and as other users, in tests/kernel.txt.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "mdio/mdio.h"

constexpr int ERRNO_BEFORE = EXDEV;       // in errno before a call that must leave it alone
constexpr uint16_t VALUE_BEFORE = 0x5A5A; // in the caller's variable before a read that must not store

static int socket_calls, socket_errno, socket_domain, socket_type; // socket_errno: fail with it
static int ioctl_calls, ioctl_errno, ioctl_fd, ioctl_fd_changes;   // ioctl_errno: fail with it
static unsigned long ioctl_request;
static int failures = 0;
#define CHECK(what, cond) ((cond) || (std::printf("FAIL line %d, %s: %s\n", __LINE__, what, #cond), failures++))

extern "C" int __real_socket(int domain, int type, int protocol); // NOLINT(bugprone-reserved-identifier)

extern "C" int __wrap_socket(int domain, int type, int protocol) { // NOLINT(bugprone-reserved-identifier)
  socket_calls++, socket_domain = domain, socket_type = type, errno = socket_errno;
  return socket_errno != 0 ? -1 : __real_socket(domain, type, protocol);
}

extern "C" int __wrap_ioctl(int fd, unsigned long request, ...) { // NOLINT(bugprone-reserved-identifier)
  va_list args;
  va_start(args, request);
  auto *ifr = va_arg(args, ifreq *);
  va_end(args);
  ioctl_fd_changes += ioctl_calls > 0 && fd != ioctl_fd ? 1 : 0;
  ioctl_calls++, ioctl_fd = fd, ioctl_request = request;
  // A failure still leaves an answer, a success may still change errno: the caller must see neither.
  reinterpret_cast<mii_ioctl_data *>(&ifr->ifr_ifru)->val_out = ioctl_errno != 0 ? 0xDEAD : 0x0123;
  errno = ioctl_errno != 0 ? ioctl_errno : ESRCH;
  return ioctl_errno != 0 ? -1 : 0;
}

// NOLINTNEXTLINE(bugprone-reserved-identifier): ioctl of a 32-bit C library with 64-bit time
extern "C" int __wrap___ioctl_time64(int fd, unsigned long request, ...) __attribute__((alias("__wrap_ioctl")));

static char lock_dir[] = "/tmp/linux_test.XXXXXX";
static char lock_path[64];                                   // where the library's lock file is opened
static int open_calls, open_flags, open_errno, create_errno; // *_errno: fail with it, plain or O_CREAT
static int flock_busy, flock_errno;                          // flock_busy: held elsewhere for that many tries
static int planted_fd = -1, planted_tries;                   // a descriptor the process inherited, tried how often
static bool flock_exclusive = true; // every try for the lock an exclusive one that cannot block
static int sleep_calls, sleep_errno;

extern "C" int __real_open(const char *path, int flags, ...); // NOLINT(bugprone-reserved-identifier)
extern "C" int __real_flock(int fd, int operation);           // NOLINT(bugprone-reserved-identifier)

extern "C" int __wrap_open(const char *path, int flags, ...) { // NOLINT(bugprone-reserved-identifier)
  va_list args;
  va_start(args, flags);
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0) {                    // the analyzer loses va_start on some paths
    mode = static_cast<mode_t>(va_arg(args, int)); // NOLINT(clang-analyzer-valist.Uninitialized)
  }
  va_end(args);
  if (std::strncmp(path, "/proc/", 6) == 0) { // what the kernel says of a descriptor
    return __real_open(path, flags, mode);
  }
  open_calls++, open_flags |= flags, errno = (flags & O_CREAT) != 0 ? create_errno : open_errno;
  return errno != 0 ? -1 : __real_open(lock_path, flags, mode);
}

extern "C" int __wrap_flock(int fd, int operation) { // NOLINT(bugprone-reserved-identifier)
  flock_exclusive = flock_exclusive && operation == (LOCK_EX | LOCK_NB);
  planted_tries += fd == planted_fd ? 1 : 0;
  errno = flock_busy > 0 ? (flock_busy--, EWOULDBLOCK) : flock_errno;
  return errno != 0 ? -1 : __real_flock(fd, operation);
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
// only the first may try for the lock; all get `status`. What stands at the
// lock's path beforehand:
enum lock_plant {
  PLANT_NOTHING,     // no file: the first run creates it
  PLANT_NO_DIR,      // not even its directory
  PLANT_LINK,        // a symbolic link to a file of the caller's
  PLANT_FIFO,        // a FIFO, nobody at its other end
  PLANT_OTHERS_FILE, // a file of user 65534's (root only: skipped otherwise)
  PLANT_WIDE_FILE,   // the caller's file, 0644 as flock(1) creates it
  PLANT_HELD_HERE,   // the lock file, its lock held through a descriptor of this process
  PLANT_SHARED_HERE, // the same, a shared lock, which keeps no other sharer off the bus
  PLANT_UNHELD_HERE, // the same descriptor without the lock, held elsewhere at the first try only
  PLANT_HELD_AWAY,   // the same descriptor without the lock, held by another process
};
struct lock_case {
  const char *name;
  lock_plant plant;
  int open_errno, create_errno, flock_busy, flock_errno, sleep_errno;
  int status, opens, sleeps;
  mode_t mode;      // the lock file's afterwards, 0: none to check
  mode_t umask = 0; // the process's
};
constexpr lock_case LOCK_CASES[] = {
    {"free: created for its owner alone", PLANT_NOTHING, 0, 0, 0, 0, 0, 0, 2, 0, 0600, 0},
    {"free: created for its owner alone under a umask of 0777", PLANT_NOTHING, 0, 0, 0, 0, 0, 0, 2, 0, 0600, 0777},
    {"held a while", PLANT_NOTHING, 0, 0, 5, 0, 0, 0, 2, 5, 0},
    {"held throughout: 30 s of 10 ms pauses", PLANT_NOTHING, 0, 0, INT_MAX, 0, 0, EBUSY, 2, 3000, 0},
    {"no way to wait: never spun on", PLANT_NOTHING, 0, 0, INT_MAX, 0, ENOSYS, EBUSY, 2, 1, 0},
    {"no file locking in the kernel", PLANT_NOTHING, 0, 0, 0, ENOSYS, 0, 0, 2, 0, 0},
    {"no lock directory", PLANT_NO_DIR, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"a read-only lock directory", PLANT_NOTHING, 0, EROFS, 0, 0, 0, 0, 2, 0, 0},
    {"a lock file the caller may not open", PLANT_NOTHING, EACCES, 0, 0, 0, 0, EPERM, 1, 0, 0},
    {"a lock directory the caller may not write", PLANT_NOTHING, 0, EACCES, 0, 0, 0, EPERM, 2, 0, 0},
    {"a symbolic link, even to the caller's file", PLANT_LINK, 0, 0, 0, 0, 0, ENOLCK, 1, 0, 0},
    {"a FIFO: never waited on", PLANT_FIFO, 0, 0, 0, 0, 0, ENOLCK, 1, 0, 0},
    {"another user's file", PLANT_OTHERS_FILE, 0, 0, 0, 0, 0, ENOLCK, 1, 0, 0},
    {"flock(1)'s file: what it grants others taken away", PLANT_WIDE_FILE, 0, 0, 0, 0, 0, 0, 1, 0, 0640},
    {"held through an inherited descriptor: used, not waited for", PLANT_HELD_HERE, 0, 0, 0, 0, 0, 0, 1, 0, 0},
    {"an inherited shared hold is no hold on the bus", PLANT_SHARED_HERE, 0, 0, 0, 0, 0, EBUSY, 1, 3000, 0},
    {"let go between the two looks: waited for, never taken for the inherited file", PLANT_UNHELD_HERE, 0, 0, 1, 0, 0,
     0, 1, 1, 0},
    {"an inherited descriptor without it, held elsewhere", PLANT_HELD_AWAY, 0, 0, 0, 0, 0, EBUSY, 1, 3000, 0},
};
constexpr uid_t OTHER_USER = 65534;

// Puts at lock_path what the case says; returns a process holding the lock
// (kill it afterwards), 0, or -1 if the case cannot be set up here.
static pid_t lock_plant_at(lock_plant plant, const char *other) {
  int fd = -1;
  switch (plant) {
  case PLANT_NOTHING: return 0;
  case PLANT_NO_DIR: return std::snprintf(lock_path, sizeof lock_path, "%s/none/mdio.lock", lock_dir) > 0 ? 0 : -1;
  case PLANT_LINK:
    return close(__real_open(other, O_RDONLY | O_CREAT, 0600)) == 0 && symlink(other, lock_path) == 0 ? 0 : -1;
  case PLANT_FIFO: return mkfifo(lock_path, 0600);
  case PLANT_OTHERS_FILE:
    fd = __real_open(lock_path, O_RDONLY | O_CREAT, 0600);
    return geteuid() == 0 && fchown(fd, OTHER_USER, OTHER_USER) == 0 ? 0 : -1;
  case PLANT_WIDE_FILE: return fchmod(__real_open(lock_path, O_RDONLY | O_CREAT, 0644), 0644);
  case PLANT_HELD_HERE:
  case PLANT_SHARED_HERE:
  case PLANT_UNHELD_HERE:
    planted_fd = __real_open(lock_path, O_RDONLY | O_CREAT, 0600);
    return plant == PLANT_UNHELD_HERE ? 0 : __real_flock(planted_fd, plant == PLANT_HELD_HERE ? LOCK_EX : LOCK_SH);
  case PLANT_HELD_AWAY: break;
  }
  int ready[2];
  char c = 0;
  if (pipe(ready) != 0 || __real_open(lock_path, O_RDONLY | O_CREAT, 0600) < 0) {
    return -1;
  }
  pid_t holder = fork();
  if (holder == 0) {
    __real_flock(__real_open(lock_path, O_RDONLY), LOCK_EX);
    _exit(write(ready[1], &c, 1) == 1 ? pause() : 1);
  }
  return holder > 0 && read(ready[0], &c, 1) == 1 ? holder : -1;
}

static void lock_case_run(const lock_case &c, const char *other) {
  umask(c.umask);
  pid_t holder = lock_plant_at(c.plant, other);
  if (holder < 0) {
    std::printf("skipped (%s): %s\n", geteuid() == 0 ? "cannot set it up" : "needs root", c.name);
    return;
  }
  open_errno = c.open_errno, create_errno = c.create_errno;
  flock_busy = c.flock_busy, flock_errno = c.flock_errno, sleep_errno = c.sleep_errno;
  uint16_t value = 0;
  for (int i = 0; i < 3; i++) {
    errno = ERRNO_BEFORE;
    int status = i == 1 ? mdio_write("eth0", 7, 16, 0) : mdio_read("eth0", 7, 16, &value);
    CHECK(c.name, status == c.status && errno == (status != 0 ? status : ERRNO_BEFORE));
  }
  CHECK(c.name, open_calls == c.opens && sleep_calls == c.sleeps && ioctl_calls == (c.status == 0 ? 3 : 0));
  CHECK(c.name, (open_flags & O_CLOEXEC) != 0 && flock_exclusive && planted_tries == 0);
  struct stat st;
  CHECK(c.name, c.mode == 0 || (stat(lock_path, &st) == 0 && (st.st_mode & 07777) == c.mode));
  if (holder > 0) {
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
  }
}

static void lock_cases() {
  for (const lock_case &c : LOCK_CASES) {
    int status = 0;
    char other[sizeof lock_path];
    std::snprintf(lock_path, sizeof lock_path, "%s/mdio.lock", lock_dir);
    std::snprintf(other, sizeof other, "%s/other", lock_dir);
    std::fflush(stdout); // a child starts with nothing of the parent's to print, and no failures
    pid_t pid = fork();
    if (pid == 0) {
      failures = 0;
      lock_case_run(c, other);
      std::fflush(stdout);
      _exit(failures == 0 ? 0 : 1);
    }
    CHECK(c.name, pid > 0 && waitpid(pid, &status, 0) == pid && status == 0);
    unlink(lock_path);
    unlink(other);
  }
  std::snprintf(lock_path, sizeof lock_path, "%s/mdio.lock", lock_dir);
}

int main() {
  if (mkdtemp(lock_dir) == nullptr) {
    std::perror(lock_dir);
    return 1;
  }
  lock_cases();                                  // before any access of this process
  close(STDIN_FILENO);                           // the lock file and the socket would get descriptor 0
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
  CHECK("one socket", socket_calls == 7 && ioctl_calls == 64 && ioctl_fd_changes == 0);
  CHECK("socket", socket_domain == AF_INET && (socket_type & ~SOCK_CLOEXEC) == SOCK_DGRAM);
  CHECK("not inherited", fcntl(ioctl_fd, F_GETFD) == FD_CLOEXEC);
  CHECK("off the standard streams", ioctl_fd > STDERR_FILENO && fcntl(STDIN_FILENO, F_GETFD) < 0);

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
  unlink(lock_path);
  rmdir(lock_dir);
  return failures == 0 ? 0 : 1;
}
