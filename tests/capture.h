// Runs the tool's code in-process with standard output and standard error
// captured.
#pragma once

#include <string>
#include <vector>

struct captured {
  std::string out;
  std::string err;
  int status;          // as the process would end with it
  bool exited = false; // through exit() rather than a return from main
};

void capture_begin();
captured capture_end(int status);

// Runs `fn`, returning its result as the status.
template <typename F> captured capture(F fn) {
  capture_begin();
  int status = fn();
  return capture_end(status);
}

// "-o read-lut-one -n eth0" as separate words.
std::vector<std::string> split_args(const char *line);

// Runs the whole tool on `args` (the program name is added); an exit()
// comes back here (the binary is linked with --wrap=exit).
captured run_tool(std::vector<std::string> args);
