#include "tests/capture.h"

#include <cstdio>
#include <sstream>
#include <unistd.h>

#include "tests/exit_trap.h"

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

captured run_tool(std::vector<std::string> args) {
  args.insert(args.begin(), "miictl");
  std::vector<char *> argv;
  argv.reserve(args.size() + 1);
  for (std::string &a : args) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  bool exited = false;
  capture_begin();
  int status = exit_trap_cli_main(static_cast<int>(args.size()), argv.data(), &exited);
  captured shown = capture_end(status);
  shown.exited = exited;
  return shown;
}

std::vector<std::string> split_args(const char *line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}
