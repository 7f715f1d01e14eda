// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Saving the board file back: after a write changes a plain register, the
// file is rewritten with that register's value, every other line kept.
#include "libmii/sim/save.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "libmii/sim/board.h"
#include "libmii/sim/words.h"

// Copies a board file line; a `reg` line of a written register gets the
// register's value, its indentation and trailing comment kept.
static void sim_save_line(FILE *out, const char *line, bool seen[SIM_PHYS][SIM_REGS]) {
  std::string_view t[SIM_WORDS_MAX];
  uint64_t phy = 0;
  uint64_t reg = 0;
  int n = sim_words(line, t);
  if (n != 4 || t[0] != "reg" || !sim_scan(t[1], &phy) || !sim_scan(t[2], &reg) || phy >= SIM_PHYS || reg >= SIM_REGS ||
      !sim_rn.dirty[phy][reg]) {
    std::fputs(line, out);
    return;
  }
  seen[phy][reg] = true;
  std::fprintf(out, "%.*sreg %u %u 0x%04x%s", static_cast<int>(t[0].data() - line), line, static_cast<unsigned>(phy),
               static_cast<unsigned>(reg), static_cast<unsigned>(sim_bd.regs[phy][reg]), t[3].data() + t[3].size());
}

// Written registers that have no `reg` line yet go at the end.
static void sim_save_new(FILE *out, bool seen[SIM_PHYS][SIM_REGS], bool at_line_start) {
  for (int phy = 0; phy < SIM_PHYS; phy++) {
    for (int reg = 0; reg < SIM_REGS; reg++) {
      if (!sim_rn.dirty[phy][reg] || seen[phy][reg]) {
        continue;
      }
      if (!at_line_start) {
        std::fputc('\n', out);
        at_line_start = true;
      }
      std::fprintf(out, "reg %d %d 0x%04x\n", phy, reg, static_cast<unsigned>(sim_bd.regs[phy][reg]));
    }
  }
}

// Copies the board file `in` to `out` with the written registers' values;
// returns nullptr or why it could not.
static const char *sim_save_lines(FILE *in, FILE *out) {
  bool seen[SIM_PHYS][SIM_REGS] = {};
  char line[SIM_LINE_MAX + 2];
  bool at_line_start = true;
  int got = 0;
  while ((got = sim_read_line(in, line)) == SIM_LINE_OK) {
    sim_save_line(out, line, seen);
    at_line_start = line[std::strlen(line) - 1] == '\n';
  }
  if (got != SIM_LINE_END) {
    return "a line is too long or holds a NUL byte";
  }
  if (std::ferror(in)) {
    return std::strerror(errno);
  }
  sim_save_new(out, seen, at_line_start);
  return nullptr;
}

// Fills the new temporary file `fd`, which gets the old file's permission
// bits, and closes it; returns nullptr or why it could not.
static const char *sim_save_write(FILE *in, int fd) {
  struct stat st = {};
  FILE *out = nullptr;
  if (fstat(fileno(in), &st) != 0 || fchmod(fd, st.st_mode & 07777) != 0 || (out = fdopen(fd, "w")) == nullptr) {
    const char *why = std::strerror(errno);
    close(fd);
    return why;
  }
  const char *why = sim_save_lines(in, out);
  if (why == nullptr && (std::fflush(out) != 0 || std::ferror(out) || fsync(fd) != 0)) {
    why = std::strerror(errno);
  }
  if (std::fclose(out) != 0 && why == nullptr) {
    why = std::strerror(errno);
  }
  return why;
}

// A temporary file in the same directory is renamed over the old one, so
// that a reader never sees half a file. A failure is reported and the run
// goes on.
void sim_save() {
  char tmp[SIM_PATH_MAX + sizeof ".XXXXXX"];
  std::snprintf(tmp, sizeof tmp, "%s.XXXXXX", sim_rn.path);
  FILE *in = std::fopen(sim_rn.path, "r");
  int fd = in != nullptr ? mkstemp(tmp) : -1;
  const char *why = fd < 0 ? std::strerror(errno) : sim_save_write(in, fd);
  if (in != nullptr) {
    std::fclose(in);
  }
  if (why == nullptr && std::rename(tmp, sim_rn.path) != 0) {
    why = std::strerror(errno);
  }
  if (why != nullptr) {
    if (fd >= 0) {
      unlink(tmp);
    }
    std::fprintf(stderr, "libmii-sim: cannot save %s: %s\n", sim_rn.path, why);
  }
}
