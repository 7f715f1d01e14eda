// Runs the built miictl as a separate process, the way a script does.
#pragma once

#include <string>
#include <vector>

struct run_result {
  std::string out;
  std::string err;
  int status; // exit status, or -1 if the process did not exit by itself
};

// The path the tool is started under (its argv[0]).
const char *miictl_path();

// Runs miictl with `args` and the environment plus `env` ("NAME=VALUE"),
// without any MII_SIM_* variable of the caller's. ctest's timeout ends a hang.
run_result run_miictl(const std::vector<std::string> &args, const std::vector<std::string> &env = {});
