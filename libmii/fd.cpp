// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Opening files in shared places, descriptors off the standard streams,
// and whole records under a file-size limit.
#include "libmii/fd.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
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

// Whether `len` more bytes at the offset where `fd` writes next would end
// past the file-size limit.
static bool fd_past_limit(int fd, const struct stat *st, size_t len) {
  struct rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return false;
  }
  int flags = fcntl(fd, F_GETFL);
  off_t at = flags >= 0 && (flags & O_APPEND) != 0 ? st->st_size : lseek(fd, 0, SEEK_CUR);
  return at < 0 || static_cast<uint64_t>(at) + len > static_cast<uint64_t>(limit.rlim_cur);
}

size_t fd_write(int fd, const char *buf, size_t len) {
  struct stat st;
  bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (regular && fd_past_limit(fd, &st, len)) {
    errno = EFBIG;
    return 0;
  }
  size_t done = 0;
  while (done < len) {
    ssize_t wrote = write(fd, buf + done, len - done);
    if (wrote < 0 && errno == EINTR) {
      continue; // nothing written: again
    }
    if (wrote <= 0) {
      errno = wrote == 0 ? EIO : errno; // EIO: a write that wrote nothing and said nothing
      break;
    }
    done += static_cast<size_t>(wrote);
    if (regular && done < len) {
      errno = ENOSPC;
      break;
    }
  }
  return done;
}
