// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The bus lock. A lookup-table read is a sequence of accesses (address,
// command, busy polls, data) that the kernel serializes one by one, never
// as a whole: two runs at once interleave and read each other's entries.
// So every run takes an advisory lock (flock) on one file for the machine,
// MII_LOCK_FILE, at its first access and holds it until the process ends.
// The file belongs to the machine: it lives where only root may create it,
// is created for its owner alone, and whatever else stands at its path (a
// link, a FIFO, another user's file) fails every access rather than let
// the run onto the bus unlocked. flock(1) takes the same lock, so scripts
// can hold it around several runs (docs/linux-backend.md).
#include "libmii/linux/lock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include "libmii/fd.h"

#ifndef MII_LOCK_FILE // the build sets it; empty: no lock
#define MII_LOCK_FILE "/run/mdio.lock"
#endif

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

constexpr int MII_LOCK_UNTRIED = -1; // else the status of every access: 0 or an errno

static int mii_lock_status = MII_LOCK_UNTRIED;
static pthread_mutex_t mii_lock_mutex = PTHREAD_MUTEX_INITIALIZER;

// Opens the lock file into `fd`, creating it if it is missing, and leaves
// its status in `st`. Returns 0 (`fd` is -1 when there is no lock to be
// had: no directory for it, or a read-only one) or the errno to fail with.
static int mii_lock_open(int *fd, struct stat *st) {
  int got = FD_FAILED;
  for (int tries = 0; tries < 2; tries++) { // again if another run created it in between
    got = fd_open_shared(MII_LOCK_FILE, O_RDONLY, 0, st);
    if (got != FD_FAILED || errno != ENOENT) {
      break;
    }
    got = fd_open_shared(MII_LOCK_FILE, O_RDONLY | O_CREAT | O_EXCL, MII_LOCK_MODE, st);
    if (got != FD_FAILED || errno != EEXIST) {
      break;
    }
  }
  *fd = got >= 0 ? got : -1;
  if (got >= 0) {
    return 0;
  }
  if (got != FD_FAILED) {
    return ENOLCK;
  }
  switch (errno) {
  case ENOENT:
  case EROFS: return 0;
  case EACCES: return EPERM; // no lock for this user: no bus either
  default: return errno;
  }
}

// Takes from the caller's own lock file what it grants other users (flock(1)
// creates it 0644). Should that fail, the lock still keeps runs apart.
static void mii_lock_narrow(int fd, const struct stat *st) {
  if (st->st_uid == geteuid() && (st->st_mode & MII_LOCK_NOT_OTHERS) != 0) {
    fchmod(fd, st->st_mode & 07777 & ~MII_LOCK_NOT_OTHERS);
  }
}

// A descriptor this process inherited (from flock(1) around a script)
// whose open file holds the lock on the file `lock` describes: flock on it
// succeeds at once where it holds the lock, and fails at once where another
// holds it. Returns it, or -1. Asked only once the lock proved taken.
static int mii_lock_inherited(int own, const struct stat *lock) {
  for (int fd = 0; fd < MII_LOCK_INHERITED_MAX; fd++) {
    struct stat st;
    if (fd != own && fstat(fd, &st) == 0 && st.st_dev == lock->st_dev && st.st_ino == lock->st_ino &&
        flock(fd, LOCK_EX | LOCK_NB) == 0) {
      return fd;
    }
  }
  return -1;
}

// Tries for the lock on `fd` until it is held or the wait is over. Returns
// 0 or the errno to fail with, and leaves in `holder` the descriptor
// holding the lock: `fd`, an inherited one, or -1. A kernel without file
// locking has no lock to give; one whose sleep fails cannot wait, and is
// not spun on.
static int mii_lock_wait(int fd, const struct stat *st, int *holder) {
  const timespec pause = {0, MII_LOCK_PAUSE_NS};
  *holder = -1;
  for (int pauses = 0;; pauses++) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      *holder = fd;
      return 0;
    }
    if (errno == ENOSYS) {
      return 0;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      return errno;
    }
    if (pauses == 0 && (*holder = mii_lock_inherited(fd, st)) >= 0) {
      return 0;
    }
    if (pauses == MII_LOCK_PAUSES || (nanosleep(&pause, nullptr) != 0 && errno != EINTR)) {
      return EBUSY;
    }
  }
}

// The first access's try for the lock: the status of every access.
static int mii_lock_take() {
  int fd = -1;
  struct stat st;
  int status = mii_lock_open(&fd, &st);
  if (fd < 0) {
    return status;
  }
  mii_lock_narrow(fd, &st);
  int holder = -1;
  status = mii_lock_wait(fd, &st, &holder);
  if (holder != fd) {
    close(fd);
  }
  return status;
}

int mii_lock() {
  if (MII_LOCK_FILE[0] == '\0') { // built without the lock
    return 0;
  }
  int status = __atomic_load_n(&mii_lock_status, __ATOMIC_ACQUIRE);
  if (status == MII_LOCK_UNTRIED) {
    pthread_mutex_lock(&mii_lock_mutex); // one try for the whole process
    status = mii_lock_status;
    if (status == MII_LOCK_UNTRIED) {
      status = mii_lock_take();
      __atomic_store_n(&mii_lock_status, status, __ATOMIC_RELEASE);
    }
    pthread_mutex_unlock(&mii_lock_mutex);
  }
  return status;
}
