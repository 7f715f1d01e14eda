// Runs code in-process with standard output and standard error captured.
#pragma once

#include <string>

struct captured {
  std::string out;
  std::string err;
  int status;
};

// Runs `fn` with stdout and stderr redirected to temporary files.
template <typename F> captured capture(F fn);

void capture_begin();
captured capture_end(int status);

template <typename F> captured capture(F fn) {
  capture_begin();
  int status = fn();
  return capture_end(status);
}
