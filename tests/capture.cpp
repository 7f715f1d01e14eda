#include "tests/capture.h"

#include <cstdio>
#include <unistd.h>

namespace {

struct redirect {
  int fd;
  int saved;
  FILE *file;
};

redirect out_redirect = {STDOUT_FILENO, -1, nullptr};
redirect err_redirect = {STDERR_FILENO, -1, nullptr};

void begin(redirect &r) {
  r.file = std::tmpfile();
  r.saved = dup(r.fd);
  dup2(fileno(r.file), r.fd);
}

std::string end(redirect &r) {
  dup2(r.saved, r.fd);
  close(r.saved);
  std::string text;
  std::rewind(r.file);
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, r.file)) > 0) {
    text.append(buf, n);
  }
  std::fclose(r.file);
  return text;
}

} // namespace

void capture_begin() {
  std::fflush(stdout);
  std::fflush(stderr);
  begin(out_redirect);
  begin(err_redirect);
}

captured capture_end(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  return {end(out_redirect), end(err_redirect), status};
}
