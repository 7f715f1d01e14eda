// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The bus lock. A lookup-table read is a sequence of accesses (address,
// command, busy polls, data) that the kernel serializes one by one, never
// as a whole: two runs at once interleave and read each other's entries.
// So every run takes an advisory lock (flock) on one file for the machine,
// MII_LOCK_FILE, at its first access and holds it until the process ends.
// The same file serves flock(1), so scripts that drive the bus with other
// tools can join in.
#include "libmii/linux/lock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#ifndef MII_LOCK_FILE // the build sets it; empty: no lock
#define MII_LOCK_FILE "/run/lock/mdio.lock"
#endif

// The wait: long enough for a few table dumps queued on a slow
// (bit-banged) bus, each some seconds long.
constexpr long MII_LOCK_PAUSE_NS = 10L * 1000 * 1000; // between tries
constexpr int MII_LOCK_PAUSES = 3000;                 // 30 s in all
constexpr mode_t MII_LOCK_MODE = 0644;                // flock needs only read access

constexpr int MII_LOCK_UNTRIED = 0;
constexpr int MII_LOCK_HELD = 1;
constexpr int MII_LOCK_NONE = 2; // no lock to be had: no file, no locking in the kernel
constexpr int MII_LOCK_BUSY = 3; // another program kept it, or there was no way to wait

static int mii_lock_state = MII_LOCK_UNTRIED;
static pthread_mutex_t mii_lock_mutex = PTHREAD_MUTEX_INITIALIZER;

// Opens the lock file read-only (all flock needs, for every user),
// creating it if it is missing.
static int mii_lock_open() {
  int fd = open(MII_LOCK_FILE, O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = open(MII_LOCK_FILE, O_RDONLY | O_NOCTTY | O_CLOEXEC | O_CREAT, MII_LOCK_MODE);
  }
  return fd;
}

// Tries for the lock on `fd` until it is held or the wait is over, and
// returns the state that leaves. A kernel without file locking has no lock
// to give; one whose sleep fails cannot wait, and is not spun on.
static int mii_lock_wait(int fd) {
  const timespec pause = {0, MII_LOCK_PAUSE_NS};
  for (int pauses = 0;; pauses++) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      return MII_LOCK_HELD;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      return MII_LOCK_NONE;
    }
    if (pauses == MII_LOCK_PAUSES || (nanosleep(&pause, nullptr) != 0 && errno != EINTR)) {
      return MII_LOCK_BUSY;
    }
  }
}

int mii_lock() {
  if (MII_LOCK_FILE[0] == '\0') { // built without the lock
    return 0;
  }
  int state = __atomic_load_n(&mii_lock_state, __ATOMIC_ACQUIRE);
  if (state == MII_LOCK_UNTRIED) {
    pthread_mutex_lock(&mii_lock_mutex); // one wait for the whole process
    state = mii_lock_state;
    if (state == MII_LOCK_UNTRIED) {
      int fd = mii_lock_open();
      state = fd < 0 ? MII_LOCK_NONE : mii_lock_wait(fd);
      if (fd >= 0 && state != MII_LOCK_HELD) {
        close(fd);
      }
      __atomic_store_n(&mii_lock_state, state, __ATOMIC_RELEASE);
    }
    pthread_mutex_unlock(&mii_lock_mutex);
  }
  return state == MII_LOCK_BUSY ? EBUSY : 0;
}
