// Runs the built miictl as a separate process, the way a script does.
#pragma once

#include <string>
#include <vector>

struct run_result {
  std::string out;
  std::string err;
  int status; // exit status, or -1 if the process did not exit by itself
  int signal; // the signal that ended it, or 0
};

// Where the tool's standard output goes instead of being captured.
struct stdout_setup {
  enum kind { CAPTURED, CLOSED, PATH, BROKEN_PIPE };
  kind to = CAPTURED;          // BROKEN_PIPE: a pipe whose reading end is already closed
  const char *path = nullptr;  // PATH: opened for writing, e.g. /dev/full
  bool ignore_sigpipe = false; // started with SIGPIPE ignored (else with the default action)
};

// The path the tool is started under (its argv[0]).
const char *miictl_path();

// Runs miictl with `args` and the environment plus `env` ("NAME=VALUE"),
// without any MII_SIM_* variable of the caller's. ctest's timeout ends a hang.
run_result run_miictl(const std::vector<std::string> &args, const std::vector<std::string> &env = {},
                      const stdout_setup &out = {});
