// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Formatting and writing trace lines.
#include "libmii/trace/line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "libmii/fd.h"

constexpr mode_t TRACE_MODE = 0644; // others may read a new trace, never write to it
constexpr int TRACE_LINE_MAX = 256; // newline and NUL included

// A byte that may stand as itself in a name: printable, neither blank nor
// a quote, a backslash or the '#' that starts a comment where lines are read.
static bool trace_plain_byte(unsigned char c) { return c > ' ' && c < 0x7F && c != '"' && c != '\\' && c != '#'; }

void trace_nic(const char *nic, char *out) {
  size_t len = nic != nullptr ? strnlen(nic, TRACE_NIC_MAX) : 0;
  char *at = out;
  *at++ = '"';
  for (size_t i = 0; i < len; i++) {
    auto c = static_cast<unsigned char>(nic[i]);
    at += trace_plain_byte(c) ? std::snprintf(at, 2, "%c", c) : std::snprintf(at, 5, "\\x%02x", c);
  }
  std::memcpy(at, "\"", sizeof "\"");
  if (nic == nullptr) {
    std::memcpy(out, "(null)", sizeof "(null)");
  } else if (len > 0 && at == out + 1 + len && std::strcmp(nic, "(null)") != 0) { // no byte escaped
    std::memmove(out, out + 1, len);
    out[len] = '\0';
  }
}

// Formats the line of `r`, newline included, into `line`; returns its length.
static int trace_format(const trace_record *r, char *line) {
  char nic[TRACE_NIC_FIELD_MAX + 1];
  char value[8] = "-";
  char err[24] = "";
  trace_nic(r->nic, nic);
  if (r->write || r->stored) {
    std::snprintf(value, sizeof value, "0x%04x", static_cast<unsigned>(r->value));
  }
  if (r->has_errno) {
    std::snprintf(err, sizeof err, " errno=%d", r->err);
  }
  return std::snprintf(line, TRACE_LINE_MAX, "%c %s %u %d %s%s %d%s\n", r->write ? 'W' : 'R', nic,
                       static_cast<unsigned>(r->phy), r->reg, r->write ? "" : "-> ", value, r->status, err);
}

void trace_open(trace_file *t, const char *var, const char *who) {
  t->fd = -1;
  t->who = who;
  t->path = std::getenv(var);
  if (t->path == nullptr || *t->path == '\0') {
    return;
  }
  if (std::strcmp(t->path, "-") == 0) {
    t->fd = STDERR_FILENO;
    return;
  }
  struct stat st;
  const char *refused = nullptr;
  t->fd = fd_open_shared(t->path, O_WRONLY | O_CREAT | O_APPEND, TRACE_MODE, &st, &refused);
  if (t->fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", who, t->path, refused != nullptr ? refused : std::strerror(errno));
  }
}

void trace_put(trace_file *t, const trace_record *r) {
  if (t->fd < 0) {
    return;
  }
  char line[TRACE_LINE_MAX];
  auto len = static_cast<size_t>(trace_format(r, line));
  size_t done = fd_write(t->fd, line, len);
  if (done == len) {
    return;
  }
  int err = errno;
  // Appended: the part written ends where the file offset now is. Lines
  // another process appended after it in the meantime would go too; each
  // run is told to trace to a file of its own. Should the cut fail, the
  // message below still tells the reader the trace is cut short.
  off_t end = t->fd == STDERR_FILENO ? -1 : lseek(t->fd, 0, SEEK_CUR);
  if (done > 0 && end >= static_cast<off_t>(done)) {
    ftruncate(t->fd, end - static_cast<off_t>(done));
  }
  std::fprintf(stderr, "%s: %s: %s; the trace ends at the last whole access\n", t->who, t->path, std::strerror(err));
  if (t->fd != STDERR_FILENO) {
    close(t->fd);
  }
  t->fd = -1;
}
