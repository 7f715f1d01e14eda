// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Saving the board file: a write that changes a plain register appends a
// `reg` line with the new value to the file, which the next run reads after
// the file's earlier lines for that register, as the switch keeps what was
// written. The file is written where it is, through a symbolic link to its
// target, so it keeps its owner and permission bits (less set-user-ID and
// set-group-ID, which a write drops). A board that is not a regular file
// (a pipe, a FIFO, a device) is used for the run and never written.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "libmii/sim/board.h"

// Appends the line to the open board file `fd`; returns nullptr or why it could not.
static const char *sim_save_to(int fd, const char *line, int len) {
  struct stat st = {};
  if (fstat(fd, &st) != 0) {
    return std::strerror(errno);
  }
  if (!S_ISREG(st.st_mode)) {
    return "not a regular file";
  }
  if ((st.st_mode & (S_ISUID | S_ISGID)) != 0 && fchmod(fd, st.st_mode & 01777) != 0) {
    return std::strerror(errno);
  }
  ssize_t done = write(fd, line, static_cast<size_t>(len));
  if (done != len) {
    return done < 0 ? std::strerror(errno) : "short write";
  }
  return nullptr;
}

void sim_save(int phy, int reg) {
  if (sim_rn.path == nullptr || sim_rn.unsaved) {
    return;
  }
  char line[32];
  int len = std::snprintf(line, sizeof line, "%sreg %d %d 0x%04x\n", sim_rn.open_line ? "\n" : "", phy, reg,
                          static_cast<unsigned>(sim_bd.regs[phy][reg]));
  const char *why = "not a regular file";
  if (sim_rn.regular) {
    int fd = open(sim_rn.path, O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    why = fd < 0 ? std::strerror(errno) : sim_save_to(fd, line, len);
    if (fd >= 0 && close(fd) != 0 && why == nullptr) {
      why = std::strerror(errno);
    }
  }
  sim_rn.open_line = sim_rn.open_line && why != nullptr;
  if (why != nullptr) {
    std::fprintf(stderr, "libmii-sim: cannot save %s: %s\n", sim_rn.path, why);
    sim_rn.unsaved = true;
  }
}
