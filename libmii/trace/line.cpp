// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Formatting and writing trace lines.
#include "libmii/trace/line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// A byte that may stand as itself in a name: printable, neither blank nor
// a quote, a backslash or the '#' that starts a comment where lines are read.
static bool trace_plain_byte(unsigned char c) { return c > ' ' && c < 0x7F && c != '"' && c != '\\' && c != '#'; }

void trace_nic(const char *nic, char *out) {
  if (nic == nullptr) {
    std::memcpy(out, "(null)", sizeof "(null)");
    return;
  }
  size_t len = strnlen(nic, TRACE_NIC_MAX);
  bool plain = len > 0 && std::strcmp(nic, "(null)") != 0;
  for (size_t i = 0; i < len; i++) {
    plain = plain && trace_plain_byte(static_cast<unsigned char>(nic[i]));
  }
  if (plain) {
    std::memcpy(out, nic, len);
    out[len] = '\0';
    return;
  }
  char *at = out;
  *at++ = '"';
  for (size_t i = 0; i < len; i++) {
    auto c = static_cast<unsigned char>(nic[i]);
    if (trace_plain_byte(c)) {
      *at++ = static_cast<char>(c);
    } else {
      at += std::snprintf(at, 5, "\\x%02x", c);
    }
  }
  std::memcpy(at, "\"", sizeof "\"");
}

int trace_format(const trace_record *r, char *line) {
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

int trace_open(const char *var, const char *who) {
  const char *path = std::getenv(var);
  if (path == nullptr || *path == '\0') {
    return -1;
  }
  int fd = std::strcmp(path, "-") == 0 ? STDERR_FILENO : open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", who, path, std::strerror(errno));
  }
  return fd;
}

void trace_put(int fd, const char *line, int len) {
  while (len > 0) {
    ssize_t done = write(fd, line, static_cast<size_t>(len));
    if (done < 0 && errno == EINTR) {
      continue;
    }
    if (done <= 0) {
      return;
    }
    line += done;
    len -= static_cast<int>(done);
  }
}
