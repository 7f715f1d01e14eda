// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Files the libraries open at paths that other users of the machine may
// reach first (the bus lock, trace files), descriptors kept off the
// standard streams, which a closed stream would otherwise hand them, and
// whole records written to files under a file-size limit.
#pragma once

#include <cstddef>
#include <sys/stat.h>

// Returns `fd` if it is above the standard streams (0-2), otherwise a
// close-on-exec copy of it above them, `fd` closed; -1 with errno if there
// is no copy to be had (`fd` closed too) or `fd` was -1 already.
int fd_above_stdio(int fd);

// Opens `path` with `flags` (and `mode`, should they create it): never
// through a symbolic link at its end, never waiting for a FIFO's other end,
// close-on-exec, on a descriptor above the standard streams; and keeps it
// only if it is a regular file owned by root or the caller, whose status
// is then left in `st`. Returns the descriptor, or -1 with `refused` saying
// what stands at `path` ("a symbolic link", "not a regular file", "owned by
// another user"), or null where the open failed and errno says why.
int fd_open_shared(const char *path, int flags, mode_t mode, struct stat *st, const char **refused);

// Writes the `len` bytes at `buf` to `fd` as one record. To a regular file
// with a single write(2), and none at all if it would end past the
// process's file-size limit (EFBIG): writing there raises SIGXFSZ, which
// ends the process; a short write means the space is gone (ENOSPC), and
// trying again would only run into that signal. To anything else (a pipe,
// a terminal) again after a short write or a signal. Returns the bytes
// written; when fewer than `len`, errno says why.
size_t fd_write(int fd, const char *buf, size_t len);
