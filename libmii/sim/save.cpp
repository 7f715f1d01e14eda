// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Saving a board file: its contents and a new line written to a file
// beside it, which is renamed over it only once whole, so that a reader,
// the next run included, sees the board as it was or as saved, never a cut
// line; a full disk or the file-size limit then costs the saved line, not
// the board. The file may stand in a shared directory, where another user
// may have planted its name: the links on the way to it are followed only
// as a kernel protecting symbolic links follows them (a link in a sticky
// directory that others may write, only when the caller or the directory's
// owner owns it), never through /proc (/dev/stdin and the like name a
// descriptor the caller opened, perhaps only for reading), and the file
// must be the one the run read. Renaming replaces the name, never the file
// behind it, so a hard link planted there leaves the file it shares alone.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "libmii/fd.h"
#include "libmii/sim/board.h"

constexpr int SIM_LINKS_MAX = 40;                            // as the kernel follows at most
constexpr char SIM_SAVE_NAME[] = "/.libmii-sim-save.XXXXXX"; // the new file, beside the board file
constexpr size_t SIM_COPY_CHUNK = 4096;

// The directory of the component that starts at `at` in `path`, into `dir`.
static void sim_dir_of(const char *path, size_t at, char *dir) {
  if (at == 0) {
    std::memcpy(dir, ".", sizeof ".");
    return;
  }
  size_t len = at > 1 ? at - 1 : 1; // "/x": "/"; "a/b": "a"
  std::memcpy(dir, path, len);
  dir[len] = '\0';
}

// Whether the link `ln` in the directory `dir` may be followed; null, or why not.
static const char *sim_link_refused(const char *dir, const struct stat *ln) {
  struct stat d;
  struct statfs fs;
  if (stat(dir, &d) != 0 || statfs(dir, &fs) != 0) {
    return std::strerror(errno);
  }
  if (static_cast<unsigned long>(fs.f_type) == PROC_SUPER_MAGIC) {
    return "an open descriptor, never written";
  }
  bool shared = (d.st_mode & S_ISVTX) != 0 && (d.st_mode & S_IWOTH) != 0;
  if (shared && ln->st_uid != geteuid() && ln->st_uid != d.st_uid) {
    return "another user's symbolic link in a sticky directory";
  }
  return nullptr;
}

// Replaces the link that ends at `end` in `path` (its component starting
// at `at`) by what it names; null, or why not.
static const char *sim_follow(char *path, size_t at, size_t end) {
  char dir[PATH_MAX];
  char target[PATH_MAX];
  char joined[PATH_MAX];
  sim_dir_of(path, at, dir);
  char was = path[end];
  path[end] = '\0';
  struct stat ln;
  ssize_t len = lstat(path, &ln) == 0 ? readlink(path, target, sizeof target - 1) : -1;
  path[end] = was;
  if (len < 0) {
    return std::strerror(errno);
  }
  target[len] = '\0';
  const char *refused = sim_link_refused(dir, &ln);
  if (refused != nullptr) {
    return refused;
  }
  int n = target[0] == '/' ? std::snprintf(joined, sizeof joined, "%s%s", target, path + end)
                           : std::snprintf(joined, sizeof joined, "%s/%s%s", dir, target, path + end);
  if (n < 0 || n >= PATH_MAX) {
    return std::strerror(ENAMETOOLONG);
  }
  std::memcpy(path, joined, static_cast<size_t>(n) + 1);
  return nullptr;
}

// Turns `path` (PATH_MAX bytes) into a path without symbolic links to the
// same file, following each as sim_link_refused allows; null, or why not.
// Each round looks for the first link from the left, so that everything
// before it is a plain directory whose owner and mode are its own.
static const char *sim_resolve(char *path) {
  for (int links = 0;; links++) {
    size_t at = 0;
    size_t end = 0;
    struct stat st = {};
    do {
      for (at = end; path[at] == '/'; at++) {
      }
      if (path[at] == '\0') {
        return nullptr; // no link left
      }
      for (end = at; path[end] != '\0' && path[end] != '/'; end++) {
      }
      char was = path[end];
      path[end] = '\0';
      int got = lstat(path, &st);
      path[end] = was;
      if (got != 0) {
        return std::strerror(errno);
      }
    } while (!S_ISLNK(st.st_mode));
    if (links == SIM_LINKS_MAX) {
      return std::strerror(ELOOP);
    }
    const char *refused = sim_follow(path, at, end);
    if (refused != nullptr) {
      return refused;
    }
  }
}

// Copies the file at `path`, which must still be the one `st` describes,
// to `out`; null, or why not.
static const char *sim_copy(const char *path, const struct stat *st, int out) {
  int in = fd_above_stdio(open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat now = {};
  const char *why = in < 0 || fstat(in, &now) != 0 ? std::strerror(errno) : nullptr;
  if (why == nullptr && (!S_ISREG(now.st_mode) || now.st_dev != st->st_dev || now.st_ino != st->st_ino)) {
    why = "changed since it was read";
  }
  char chunk[SIM_COPY_CHUNK];
  while (why == nullptr) {
    ssize_t got = read(in, chunk, sizeof chunk);
    bool failed = got < 0 ? errno != EINTR : fd_write(out, chunk, static_cast<size_t>(got)) != static_cast<size_t>(got);
    if (got == 0) {
      break;
    }
    why = failed ? std::strerror(errno) : nullptr;
  }
  if (in >= 0) {
    close(in);
  }
  return why;
}

// Whether the caller may replace the board file at the link-free `path`,
// which `st` describes; null, or why not.
static const char *sim_may_save(const char *path, const struct stat *st) {
  if (faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0) {
    return std::strerror(errno);
  }
  if (st->st_uid != geteuid() && geteuid() != 0) {
    return "owned by another user"; // only root may give the new file to its owner
  }
  return nullptr;
}

// Writes the board file at `path` again into the new file `out`, with its
// owner and mode, then `line`; null, or why not.
static const char *sim_write_new(const char *path, const struct stat *st, int out, const char *line, size_t len) {
  bool keep_owner = st->st_uid == geteuid() && st->st_gid == getegid();
  if ((!keep_owner && fchown(out, st->st_uid, st->st_gid) != 0) || fchmod(out, st->st_mode & 01777) != 0) {
    return std::strerror(errno); // set-user-ID and set-group-ID go, as a write drops them
  }
  const char *why = sim_copy(path, st, out);
  if (why == nullptr && fd_write(out, line, len) != len) {
    why = std::strerror(errno);
  }
  return why;
}

const char *sim_save_append(const char *path, struct stat *st, const char *line, size_t len) {
  char real[PATH_MAX];
  char temp[PATH_MAX + sizeof SIM_SAVE_NAME];
  if (std::strlen(path) >= sizeof real) {
    return std::strerror(ENAMETOOLONG);
  }
  std::memcpy(real, path, std::strlen(path) + 1);
  const char *why = sim_resolve(real);
  why = why != nullptr ? why : sim_may_save(real, st);
  if (why != nullptr) {
    return why;
  }
  const char *slash = std::strrchr(real, '/');
  sim_dir_of(real, slash == nullptr ? 0 : static_cast<size_t>(slash - real) + 1, temp);
  std::memcpy(temp + std::strlen(temp), SIM_SAVE_NAME, sizeof SIM_SAVE_NAME);
  int out = fd_above_stdio(mkostemp(temp, O_CLOEXEC));
  if (out < 0) {
    return std::strerror(errno);
  }
  why = sim_write_new(real, st, out, line, len);
  struct stat saved;
  if (why == nullptr && fstat(out, &saved) != 0) {
    why = std::strerror(errno);
  }
  if (close(out) != 0 && why == nullptr) {
    why = std::strerror(errno);
  }
  if (why == nullptr && rename(temp, real) != 0) {
    why = std::strerror(errno);
  }
  if (why != nullptr) {
    unlink(temp);
    return why;
  }
  *st = saved;
  return nullptr;
}
