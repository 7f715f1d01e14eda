// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii.so for boards whose Ethernet driver exposes its management bus
// through the kernel's MII ioctls: every register access is one
// SIOCGMIIREG or SIOCSMIIREG request on the interface the caller names.
// The PHY address travels with the request, so the driver's bus reaches
// the switch and every PHY on it, not only the interface's own PHY.
//
// Every request is made under the machine's bus lock. A lookup-table read
// is a sequence of accesses (address, command, busy polls, data) that the
// kernel serializes one by one, never as a whole: two runs at once
// interleave and read each other's entries. So every run takes an advisory
// lock (flock) on one file for the machine, MII_LOCK_FILE, at its first
// access and holds it until the process ends. The file belongs to the
// machine: it lives where only root may create it, is created for its owner
// alone, and whatever else stands at its path (a link, a FIFO, another
// user's file) fails every access rather than let the run onto the bus
// unlocked. flock(1) takes the same lock, so scripts can hold it around
// several runs (docs/linux-backend.md). Callers are single-threaded, like
// the tool.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "libmii/fd.h"
#include "mdio/mdio.h"

#define MII_EXPORT __attribute__((visibility("default")))

#ifndef MII_LOCK_FILE // the build sets it; empty: no lock
#define MII_LOCK_FILE "/run/mdio.lock"
#endif

constexpr int MII_ADDR_MAX = 31; // clause 22: 5-bit PHY address and register number

// The wait: long enough for a few table dumps queued on a slow
// (bit-banged) bus, each some seconds long.
constexpr long MII_LOCK_PAUSE_NS = 10L * 1000 * 1000; // between tries
constexpr int MII_LOCK_PAUSES = 3000;                 // 30 s in all
constexpr mode_t MII_LOCK_MODE = 0600;                // a new lock: its owner's alone
// Never on the lock file: whoever can open it can hold it.
constexpr mode_t MII_LOCK_NOT_OTHERS = S_IRWXO | S_ISUID | S_ISGID | S_ISVTX;
// The descriptors searched for an inherited hold on the lock: those a
// script's wrapper can hand down, as it takes the lowest free one.
constexpr int MII_LOCK_INHERITED_MAX = 1024;
constexpr size_t MII_FDINFO_MAX = 1024; // of a descriptor's /proc entry, what is read

static_assert(sizeof(mii_ioctl_data) <= sizeof(ifreq::ifr_ifru), "MII request must fit the ifreq");

static bool mii_lock_tried;
static int mii_lock_status; // once tried, the status of every access: 0 or an errno
// The socket the requests go through, opened on first use and kept for the
// life of the process: any socket will do, the driver is found by name. It
// is kept off the standard streams, so that a stream the caller closed
// stays closed and nothing the caller writes there reaches the socket.
static int mii_socket_fd = -1;

// Opens the lock file into `fd`, creating it if it is missing, and leaves
// its status in `st`. Returns 0 (`fd` is -1 when there is no lock to be
// had: no directory for it, or a read-only one) or the errno to fail with.
static int mii_lock_open(int *fd, struct stat *st) {
  const char *refused = nullptr;
  for (int tries = 0; tries < 2; tries++) { // again if another run created it in between
    *fd = fd_open_shared(MII_LOCK_FILE, O_RDONLY, 0, st, &refused);
    if (*fd >= 0 || refused != nullptr || errno != ENOENT) {
      break;
    }
    *fd = fd_open_shared(MII_LOCK_FILE, O_RDONLY | O_CREAT | O_EXCL, MII_LOCK_MODE, st, &refused);
    if (*fd >= 0) {
      fchmod(*fd, MII_LOCK_MODE); // what the umask took from it; should this fail, root still holds it
    }
    if (*fd >= 0 || refused != nullptr || errno != EEXIST) {
      break;
    }
  }
  if (*fd >= 0) {
    return 0;
  }
  if (refused != nullptr) {
    return ENOLCK; // a link, a FIFO, another user's file: whatever it is, not the lock
  }
  switch (errno) {
  case ENOENT:
  case EROFS: return 0;
  case EACCES: return EPERM; // no lock for this user: no bus either
  default: return errno;
  }
}

// Whether descriptor `fd` holds an exclusive flock on its file, as the
// kernel lists the locks of an open file in /proc/self/fdinfo/FD. Only
// asked, never tried: flock on a descriptor that does not hold the lock
// would take it, for an open file that another process shares and keeps
// after this run, should the holder have let go in the meantime. Without
// /proc the answer is no, and the run waits as any other.
static bool mii_fd_holds_lock(int fd) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/self/fdinfo/%d", fd);
  int info = fd_above_stdio(open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC));
  struct statfs fs;
  if (info < 0) {
    return false;
  }
  char text[MII_FDINFO_MAX + 1];
  size_t len = 0;
  ssize_t got = 0;
  bool proc = fstatfs(info, &fs) == 0 && static_cast<unsigned long>(fs.f_type) == PROC_SUPER_MAGIC;
  while (proc && len < MII_FDINFO_MAX && (got = read(info, text + len, MII_FDINFO_MAX - len)) > 0) {
    len += static_cast<size_t>(got);
  }
  close(info);
  text[len] = '\0';
  // One line per lock: "lock:\t1: FLOCK  ADVISORY  WRITE PID MAJ:MIN:INODE 0 EOF".
  for (const char *line = text; proc && line != nullptr; line = std::strchr(line, '\n')) {
    line += *line == '\n' ? 1 : 0;
    if (std::strncmp(line, "lock:\t", 6) == 0) {
      const char *kind = std::strchr(line, ' ');
      if (kind != nullptr && std::strncmp(kind, " FLOCK  ADVISORY  WRITE ", 24) == 0) {
        return true;
      }
    }
  }
  return false;
}

// Whether this process inherited a descriptor (from flock(1) around a
// script) whose open file holds the lock on the file `lock` describes.
// Asked only once the lock proved taken.
static bool mii_lock_inherited(int own, const struct stat *lock) {
  for (int fd = 0; fd < MII_LOCK_INHERITED_MAX; fd++) {
    struct stat st;
    if (fd != own && fstat(fd, &st) == 0 && st.st_dev == lock->st_dev && st.st_ino == lock->st_ino &&
        mii_fd_holds_lock(fd)) {
      return true;
    }
  }
  return false;
}

// Tries for the lock on `fd` until it is held or the wait is over, and
// closes `fd` unless it holds the lock. Returns 0 or the errno to fail
// with. A kernel without file locking has no lock to give; one whose sleep
// fails cannot wait, and is not spun on.
static int mii_lock_wait(int fd, const struct stat *st) {
  const timespec pause = {0, MII_LOCK_PAUSE_NS};
  int status = -1; // still trying
  for (int pauses = 0; status < 0; pauses++) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      return 0; // `fd` holds the lock until the process ends
    }
    int err = errno;
    bool taken = err == EWOULDBLOCK || err == EINTR;
    if (err == ENOSYS || (taken && pauses == 0 && mii_lock_inherited(fd, st))) {
      status = 0;
    } else if (!taken) {
      status = err;
    } else if (pauses == MII_LOCK_PAUSES || (nanosleep(&pause, nullptr) != 0 && errno != EINTR)) {
      status = EBUSY; // another program held it for the whole wait
    }
  }
  close(fd);
  return status;
}

// Takes the machine's bus lock on the first call of the process and keeps
// it until the process ends. Returns 0 when the access may go on (the lock
// held, here or through an inherited descriptor, or no lock to be had),
// else the errno that this and every later call fail with at once.
static int mii_lock() {
  if (MII_LOCK_FILE[0] == '\0' || mii_lock_tried) { // built without the lock, or one try for the process
    return mii_lock_status;
  }
  mii_lock_tried = true;
  int fd = -1;
  struct stat st;
  mii_lock_status = mii_lock_open(&fd, &st);
  if (fd >= 0) {
    // Takes from the caller's own lock file what it grants other users
    // (flock(1) creates it 0644). Should that fail, the lock still keeps runs apart.
    if (st.st_uid == geteuid() && (st.st_mode & MII_LOCK_NOT_OTHERS) != 0) {
      fchmod(fd, st.st_mode & 07777 & ~MII_LOCK_NOT_OTHERS);
    }
    mii_lock_status = mii_lock_wait(fd, &st);
  }
  return mii_lock_status;
}

// One access to register `reg` of PHY `phy` behind `nic`: a `request` of
// SIOCGMIIREG, whose value is stored through `value`, or SIOCSMIIREG, which
// writes *value. Arguments the kernel cannot take are refused before any
// system call. On success errno is left as it was; a failed access returns
// its status and leaves it in errno, as callers report it with perror.
static int mii_access(const char *nic, uint16_t phy, int reg, unsigned long request, uint16_t *value) {
  int saved_errno = errno;
  // A longer name is refused, never cut down to what may be another interface's name.
  bool named = nic != nullptr && nic[0] != '\0' && strnlen(nic, IFNAMSIZ) < IFNAMSIZ;
  bool fits = phy <= MII_ADDR_MAX && reg >= 0 && reg <= MII_ADDR_MAX && value != nullptr;
  int status = !named ? ENODEV : !fits ? EINVAL : mii_lock();
  if (status == 0 && mii_socket_fd < 0) {
    mii_socket_fd = fd_above_stdio(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    status = mii_socket_fd < 0 ? errno : 0; // a later access tries again
  }
  if (status == 0) {
    mii_ioctl_data mii = {phy, static_cast<uint16_t>(reg), request == SIOCSMIIREG ? *value : uint16_t{0}, 0};
    ifreq ifr;
    std::memset(&ifr, 0, sizeof ifr);
    std::memcpy(ifr.ifr_name, nic, std::strlen(nic)); // fits with its terminator: checked
    std::memcpy(&ifr.ifr_ifru, &mii, sizeof mii);
    status = ioctl(mii_socket_fd, request, &ifr) < 0 ? errno : 0;
    std::memcpy(&mii, &ifr.ifr_ifru, sizeof mii);
    if (status == 0 && request == SIOCGMIIREG) {
      *value = mii.val_out;
    }
  }
  errno = status != 0 ? status : saved_errno;
  return status;
}

extern "C" MII_EXPORT int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  return mii_access(nic, phy, reg, SIOCGMIIREG, value);
}

extern "C" MII_EXPORT int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) {
  return mii_access(nic, phy, reg, SIOCSMIIREG, &value);
}
