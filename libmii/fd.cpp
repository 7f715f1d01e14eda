// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Opening files in shared places, and descriptors off the standard streams.
#include "libmii/fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// Closes `fd` if it is open, errno as it was; returns -1.
static int fd_drop(int fd) {
  int err = errno;
  if (fd >= 0) {
    close(fd);
  }
  errno = err;
  return -1;
}

int fd_above_stdio(int fd) {
  if (fd < 0 || fd > STDERR_FILENO) {
    return fd;
  }
  int high = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  fd_drop(fd);
  return high;
}

int fd_open_shared(const char *path, int flags, mode_t mode, struct stat *st, const char **refused) {
  int fd = fd_above_stdio(open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode));
  // What O_NOFOLLOW says of a link, and O_NONBLOCK of a FIFO nobody reads,
  // a socket or a missing device.
  *refused = fd >= 0 ? nullptr : errno == ELOOP ? "a symbolic link" : errno == ENXIO ? "not a regular file" : nullptr;
  if (fd < 0 || fstat(fd, st) != 0) {
    return fd_drop(fd);
  }
  if (!S_ISREG(st->st_mode)) {
    *refused = "not a regular file";
  } else if (st->st_uid != 0 && st->st_uid != geteuid()) {
    *refused = "owned by another user";
  }
  return *refused == nullptr ? fd : fd_drop(fd);
}
