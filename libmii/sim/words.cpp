// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Lines, words and numbers of a board file, and the messages naming the
// file and line of a mistake.
#include "libmii/sim/words.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

constexpr int SIM_QUOTE_MAX = 40; // longest word quoted in a message
constexpr std::string_view SIM_BLANKS = " \t\r\n\v\f";

int sim_read_line(FILE *f, char *buf) {
  int len = 0;
  int c = 0;
  while ((c = std::getc(f)) != EOF) {
    if (c == '\0') {
      return SIM_LINE_NUL;
    }
    if (len == SIM_LINE_MAX && c != '\n') {
      return SIM_LINE_LONG;
    }
    buf[len++] = static_cast<char>(c);
    if (c == '\n') {
      break;
    }
  }
  buf[len] = '\0';
  return len > 0 ? SIM_LINE_OK : SIM_LINE_END;
}

bool sim_reader_next(sim_reader *r, const char *path) {
  if (r->at.path == nullptr) {
    r->at.path = path;
    r->f = std::fopen(path, "r");
    if (r->f == nullptr) {
      std::fprintf(stderr, "libmii-sim: %s: %s\n", path, std::strerror(errno));
      r->failed = true;
      return false;
    }
  }
  int got = r->failed ? SIM_LINE_END : sim_read_line(r->f, r->line);
  r->at.line += got != SIM_LINE_END ? 1 : 0;
  if (got == SIM_LINE_OK) {
    return true;
  }
  if (got == SIM_LINE_LONG) {
    r->failed = !sim_fail(&r->at, "line longer than %d characters", SIM_LINE_MAX);
  } else if (got == SIM_LINE_NUL) {
    r->failed = !sim_fail(&r->at, "NUL byte in line");
  } else if (!r->failed && std::ferror(r->f)) {
    std::fprintf(stderr, "libmii-sim: %s: %s\n", path, std::strerror(errno));
    r->failed = true;
  }
  std::fclose(r->f);
  r->f = nullptr;
  return false;
}

int sim_words(const char *line, std::string_view *w) {
  std::string_view rest(line, std::strcspn(line, "#"));
  for (int n = 0;; n++) {
    size_t at = rest.find_first_not_of(SIM_BLANKS);
    if (at == std::string_view::npos) {
      return n;
    }
    if (n == SIM_WORDS_MAX) {
      return -1;
    }
    rest.remove_prefix(at);
    w[n] = rest.substr(0, std::min(rest.find_first_of(SIM_BLANKS), rest.size()));
    rest.remove_prefix(w[n].size());
  }
}

// `t` is a word of a line, so the character after it is no digit.
bool sim_scan(std::string_view t, uint64_t *out) {
  int base = 10;
  std::string_view digits = "0123456789";
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    digits = "0123456789abcdefABCDEF";
    t.remove_prefix(2);
  }
  if (t.empty() || t.find_first_not_of(digits) != std::string_view::npos) {
    return false;
  }
  // Digits alone: no sign, blank or second prefix for strtoull to take. Its
  // ERANGE is not left behind for a later message to report.
  int saved_errno = errno;
  *out = std::min<unsigned long long>(std::strtoull(t.data(), nullptr, base), 0x100000000ULL);
  errno = saved_errno;
  return true;
}

bool sim_fail(const sim_parser *p, const char *fmt, ...) {
  char msg[160];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(msg, sizeof msg, fmt, ap); // NOLINT(clang-analyzer-valist.Uninitialized): started just above
  va_end(ap);
  std::fprintf(stderr, "libmii-sim: %s:%d: %s\n", p->path, p->line, msg);
  return false;
}

int sim_quote_len(std::string_view t) { return static_cast<int>(std::min<size_t>(t.size(), SIM_QUOTE_MAX)); }

bool sim_number(const sim_parser *p, std::string_view t, const char *what, uint32_t min, uint32_t max, uint32_t *out) {
  uint64_t v = 0;
  if (!sim_scan(t, &v)) {
    return sim_fail(p, "bad %s '%.*s'", what, sim_quote_len(t), t.data());
  }
  if (v < min || v > max) {
    unsigned lo = min;
    unsigned hi = max;
    return max == 0xFFFFU ? sim_fail(p, "%s '%.*s' out of range (0x%x-0x%x)", what, sim_quote_len(t), t.data(), lo, hi)
                          : sim_fail(p, "%s '%.*s' out of range (%u-%u)", what, sim_quote_len(t), t.data(), lo, hi);
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

bool sim_signed(const sim_parser *p, std::string_view t, const char *what, int *out) {
  bool negative = !t.empty() && t[0] == '-';
  std::string_view digits = t;
  digits.remove_prefix(negative || (!t.empty() && t[0] == '+') ? 1 : 0);
  uint64_t v = 0;
  if (!sim_scan(digits, &v)) {
    return sim_fail(p, "bad %s '%.*s'", what, sim_quote_len(t), t.data());
  }
  if (v > (negative ? 0x80000000ULL : static_cast<uint64_t>(INT_MAX))) {
    return sim_fail(p, "%s '%.*s' out of range for an int", what, sim_quote_len(t), t.data());
  }
  *out = negative ? static_cast<int>(-static_cast<int64_t>(v)) : static_cast<int>(v);
  return true;
}
