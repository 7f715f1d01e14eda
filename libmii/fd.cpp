// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Opening files in shared places, and descriptors off the standard streams.
#include "libmii/fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int fd_above_stdio(int fd) {
  if (fd < 0 || fd > STDERR_FILENO) {
    return fd;
  }
  int high = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  int err = errno;
  close(fd);
  errno = err;
  return high;
}

// Closes `fd` and returns `code`, with errno as it was.
static int fd_refuse(int fd, int code) {
  int err = errno;
  close(fd);
  errno = err;
  return code;
}

int fd_open_shared(const char *path, int flags, mode_t mode, struct stat *st) {
  int fd = fd_above_stdio(open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode));
  if (fd < 0) {
    switch (errno) {
    case ELOOP: return FD_LINK;        // what O_NOFOLLOW says of a link
    case ENXIO: return FD_NOT_REGULAR; // a FIFO nobody reads, a socket, a missing device
    default: return FD_FAILED;
    }
  }
  if (fstat(fd, st) != 0) {
    return fd_refuse(fd, FD_FAILED);
  }
  if (!S_ISREG(st->st_mode)) {
    return fd_refuse(fd, FD_NOT_REGULAR);
  }
  if (st->st_uid != 0 && st->st_uid != geteuid()) {
    return fd_refuse(fd, FD_NOT_OURS);
  }
  return fd;
}

const char *fd_refusal(int code) {
  switch (code) {
  case FD_LINK: return "a symbolic link";
  case FD_NOT_REGULAR: return "not a regular file";
  case FD_NOT_OURS: return "owned by another user";
  default: return std::strerror(errno);
  }
}
