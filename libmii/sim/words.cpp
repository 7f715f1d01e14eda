// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Lines, words and numbers of a board file or a recording, and the
// messages naming the file and line of a mistake.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <sys/stat.h>

#include "libmii/sim/board.h"

constexpr int SIM_QUOTE_MAX = 40; // longest word quoted in a message
constexpr std::string_view SIM_BLANKS = " \t\r\n\v\f";

static int sim_getc(sim_reader *r) {
  if (r->builtin == nullptr) {
    return std::getc(r->f);
  }
  return *r->builtin != '\0' ? static_cast<unsigned char>(*r->builtin++) : EOF;
}

// Reads a line, newline included; false at the end, or if it is too long
// or holds a NUL byte, which is reported.
static bool sim_read_line(sim_reader *r) {
  int len = 0;
  int c = 0;
  while ((c = sim_getc(r)) != EOF && c != '\0' && (len < SIM_LINE_MAX || c == '\n')) {
    r->text[len++] = static_cast<char>(c);
    if (c == '\n') {
      break;
    }
  }
  r->text[len] = '\0';
  r->line += len > 0 || c != EOF ? 1 : 0;
  if (c == '\0' || (c != EOF && c != '\n')) {
    r->failed =
        c == '\0' ? !sim_fail(r, "NUL byte in line") : !sim_fail(r, "line longer than %d characters", SIM_LINE_MAX);
  }
  return len > 0 && !r->failed;
}

// Splits the line into words up to a '#'.
static void sim_words(sim_reader *r) {
  std::string_view rest(r->text, std::strcspn(r->text, "#"));
  for (r->n = 0;; r->n++) {
    size_t at = rest.find_first_not_of(SIM_BLANKS);
    if (at == std::string_view::npos) {
      return;
    }
    if (r->n == SIM_WORDS_MAX) {
      r->n = -1;
      return;
    }
    rest.remove_prefix(at);
    r->w[r->n] = rest.substr(0, std::min(rest.find_first_of(SIM_BLANKS), rest.size()));
    rest.remove_prefix(r->w[r->n].size());
  }
}

bool sim_reader_next(sim_reader *r) {
  if (r->builtin == nullptr && r->f == nullptr) { // the first call
    r->f = std::fopen(r->path, "re");
    r->regular = r->f != nullptr && fstat(fileno(r->f), &r->st) == 0 && S_ISREG(r->st.st_mode);
  }
  bool opened = r->builtin != nullptr || r->f != nullptr;
  if (opened && !r->failed && sim_read_line(r)) {
    sim_words(r);
    return true;
  }
  if (!r->failed && (!opened || (r->f != nullptr && std::ferror(r->f)))) {
    std::fprintf(stderr, "libmii-sim: %s: %s\n", r->path, std::strerror(errno));
    r->failed = true;
  }
  if (r->f != nullptr) {
    std::fclose(r->f);
    r->f = nullptr;
  }
  return false;
}

bool sim_fail(const sim_reader *r, const char *fmt, ...) {
  char msg[160];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(msg, sizeof msg, fmt, ap); // NOLINT(clang-analyzer-valist.Uninitialized): started just above
  va_end(ap);
  std::fprintf(stderr, "libmii-sim: %s:%d: %s\n", r->path, r->line, msg);
  return false;
}

int sim_quote_len(std::string_view t) { return static_cast<int>(std::min<size_t>(t.size(), SIM_QUOTE_MAX)); }

bool sim_number(const sim_reader *r, std::string_view t, const char *what, int64_t min, int64_t max, int64_t *out) {
  bool sign = min < 0 && !t.empty() && (t[0] == '-' || t[0] == '+');
  std::string_view digits = t.substr(sign ? 1 : 0);
  int base = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') ? 16 : 10;
  digits.remove_prefix(base == 16 ? 2 : 0);
  int len = sim_quote_len(t);
  if (digits.empty() ||
      digits.find_first_not_of(base == 16 ? "0123456789abcdefABCDEF" : "0123456789") != std::string_view::npos) {
    return sim_fail(r, "bad %s '%.*s'", what, len, t.data());
  }
  int64_t v = 0;
  for (char c : digits) { // stops growing past 32 bits, which is out of every range
    v = std::min<int64_t>(v * base + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10), INT64_C(1) << 33);
  }
  v = sign && t[0] == '-' ? -v : v;
  if (v >= min && v <= max) {
    *out = v;
    return true;
  }
  if (min < 0) {
    return sim_fail(r, "%s '%.*s' out of range for an int", what, len, t.data());
  }
  const char *range = max == 0xFFFF ? "%s '%.*s' out of range (0x%x-0x%x)" : "%s '%.*s' out of range (%u-%u)";
  return sim_fail(r, range, what, len, t.data(), static_cast<unsigned>(min), static_cast<unsigned>(max));
}
