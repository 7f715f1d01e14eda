// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Files the libraries open at paths that other users of the machine may
// reach first (the bus lock, trace files), and descriptors kept off the
// standard streams, which a closed stream would otherwise hand them.
#pragma once

#include <sys/stat.h>

// Why fd_open_shared gave no descriptor.
constexpr int FD_FAILED = -1;      // the open failed: errno says why
constexpr int FD_LINK = -2;        // a symbolic link, never followed
constexpr int FD_NOT_REGULAR = -3; // a FIFO, device, directory or socket
constexpr int FD_NOT_OURS = -4;    // a file owned by neither root nor the caller

// Returns `fd` if it is above the standard streams (0-2), otherwise a
// close-on-exec copy of it above them, `fd` closed; -1 with errno if there
// is no copy to be had (`fd` closed too) or `fd` was -1 already.
int fd_above_stdio(int fd);

// Opens `path` with `flags` (and `mode`, should they create it): never
// through a symbolic link at its end, never waiting for a FIFO's other end,
// close-on-exec, on a descriptor above the standard streams; and keeps it
// only if it is a regular file owned by root or the caller, whose status
// is then left in `st`. Returns the descriptor, or one of FD_* (< 0).
int fd_open_shared(const char *path, int flags, mode_t mode, struct stat *st);

// What an FD_* refusal means, for a message: strerror(errno) for FD_FAILED.
const char *fd_refusal(int code);
