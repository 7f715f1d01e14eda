// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The simulated board's rooms and what they share: the board's model
// (board/mdio-board.h) and the interface it answers on, the board file (its
// text, its directives, saving) and the replay of a recording.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <sys/stat.h>

#include "board/mdio-board.h"
#include "libmii/trace/line.h"

constexpr int SIM_NAME_MAX = 15;  // interface name length, as the kernel's
constexpr int SIM_LINE_MAX = 255; // a line of a board file or recording, without its newline
constexpr int SIM_WORDS_MAX = 16; // words on a line

extern mdio_board sim_bd;
extern char sim_nic[SIM_NAME_MAX + 1];

// Forgets the board, so that the next access sets it up afresh from the
// environment: for a harness running the tool many times in one process
// (without a trace or a replay, which keep their files).
void sim_restart();

// --- text (words.cpp) ---------------------------------------------------------

// A board file or a recording, read line by line from `builtin` if it is
// set (the demo board), else from the file at `path`.
struct sim_reader {
  const char *path;                  // the file, for messages
  int line;                          // the line read last, from 1
  const char *builtin;               // what is left of the text
  FILE *f;                           // open while lines are read
  bool regular;                      // the file is a regular file
  struct stat st;                    // the file's status, when opened
  char text[SIM_LINE_MAX + 2];       // the line read last, newline included
  std::string_view w[SIM_WORDS_MAX]; // its words, up to a '#'
  int n;                             // how many: -1 if there are more than SIM_WORDS_MAX
  bool failed;                       // a mistake was reported: the file is not to be used
};

// Reads the next line and its words, opening the file at the first call
// (`r` zeroed but for `path` and `builtin`): true; false, the file closed,
// at its end or once r->failed is set (by the caller, for a mistake of its
// own), and then not to be called again. A file that cannot be opened or
// read, a line too long and a NUL byte are reported and set r->failed.
bool sim_reader_next(sim_reader *r);

// Reports a mistake on the line being read; returns false.
__attribute__((format(printf, 2, 3))) bool sim_fail(const sim_reader *r, const char *fmt, ...);

// How much of a word a message quotes.
int sim_quote_len(std::string_view t);

// A decimal or 0x-hex number in [min, max] (a sign only where min < 0; a
// leading 0 does not make octal), or a message naming `what`.
bool sim_number(const sim_reader *r, std::string_view t, const char *what, int64_t min, int64_t max, int64_t *out);

// --- the board file (board_file.cpp) -------------------------------------------

// Sets the board up from the file at `path`, or from the demo board if
// `path` is null or empty; on a mistake or a read error, reports it once
// on standard error and returns false.
bool sim_load_board(const char *path);

// Adds the register's new value to the board file, so that the next run
// starts with it; a failure is reported once on standard error.
void sim_save(int phy, int reg);

// --- saving (save.cpp) -----------------------------------------------------------

// Replaces the regular board file at `path`, read as the file `st`
// describes, by its contents followed by the `len` bytes of `line`, and
// leaves the new file's status in `st`. Returns null, or why it did not
// (the board file then as it was).
const char *sim_save_append(const char *path, struct stat *st, const char *line, size_t len);

// --- replay (replay.cpp) ------------------------------------------------------

// Reads the recording at `path` (MII_SIM_REPLAY); on a mistake reports it
// once on standard error and returns false.
bool sim_replay_load(const char *path);

// Answers the access as the recording did: true; false where the run has
// gone where the recording has not, which is reported once.
bool sim_replay(trace_record *a);
