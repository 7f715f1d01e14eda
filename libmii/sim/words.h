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

// Opens a file to read, or reports why it cannot be read and returns nullptr.
FILE *sim_open(const char *path);

// Reads the next line to parse into `buf` (SIM_LINE_MAX + 2 bytes) and
// counts it: 1, or 0 at the end, or -1 after reporting a line too long,
// a NUL byte or a read error.
int sim_next_line(sim_parser *p, FILE *f, char *buf);

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
