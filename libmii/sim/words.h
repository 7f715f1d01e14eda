// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// A board file as text, for the reader and the saver: its lines, the words
// of a line, numbers, and messages that name the file and line of a mistake.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

constexpr int SIM_LINE_MAX = 255; // board file line, without its newline
constexpr int SIM_WORDS_MAX = 16; // words on a board file line

// What reading a board file line gave.
constexpr int SIM_LINE_END = 0; // nothing left, or a read error
constexpr int SIM_LINE_OK = 1;
constexpr int SIM_LINE_LONG = 2; // longer than SIM_LINE_MAX
constexpr int SIM_LINE_NUL = 3;  // holds a NUL byte

// Where the board file is being read, for messages.
struct sim_parser {
  const char *path;
  int line;
};

// Reads one line, newline included, into `buf` (SIM_LINE_MAX + 2 bytes).
int sim_read_line(FILE *f, char *buf);

// A board file or a recording, read line by line.
struct sim_reader {
  sim_parser at;               // the file and the line read last
  FILE *f;                     // open while lines are read
  char line[SIM_LINE_MAX + 2]; // the line read last, newline included
  bool failed;                 // a mistake was reported: the file is not to be used
};

// Reads the next line of the file at `path` into r->line, opening the file
// at the first call (`r` zeroed): true; false, the file closed, at its end
// or once r->failed is set (by the caller, for a mistake of its own). A file
// that cannot be opened or read, a line too long and a NUL byte are
// reported and set r->failed.
bool sim_reader_next(sim_reader *r, const char *path);

// Splits `line` into words up to a '#'. Returns their count, or -1 if
// there are more than SIM_WORDS_MAX.
int sim_words(const char *line, std::string_view *w);

// A decimal or 0x-hex number; anything above 32 bits reads as 2^32.
// A leading 0 does not make octal.
bool sim_scan(std::string_view t, uint64_t *out);

// Reports a mistake on the line being read, once; returns false.
__attribute__((format(printf, 2, 3))) bool sim_fail(const sim_parser *p, const char *fmt, ...);

// How much of a word a message quotes.
int sim_quote_len(std::string_view t);

// A number in [min, max], or a message naming `what`.
bool sim_number(const sim_parser *p, std::string_view t, const char *what, uint32_t min, uint32_t max, uint32_t *out);

// Any int, decimal or 0x-hex after an optional sign, or a message naming `what`.
bool sim_signed(const sim_parser *p, std::string_view t, const char *what, int *out);
