// Starting miictl from a test and collecting what it printed. Every
// process a test starts goes through mii_run, so a cross build can put
// its emulator in front (MIICTL_TEST_EMULATOR, see CMakeLists.txt).
#pragma once

#include <string>

struct mii_run_result {
  int status; // exit status, or -1 when the process did not exit
  std::string out;
  std::string err;
};

// Runs the program `argv[0]` with the null-terminated `argv`, its dynamic
// libraries looked up in `library_dir` first (LD_LIBRARY_PATH). With
// `drop_net_admin` the program runs without CAP_NET_ADMIN, as a user who
// is not root would. Returns false if the process could not be run.
bool mii_run(const char *const *argv, const char *library_dir, bool drop_net_admin, mii_run_result *result);

// Whether this process has capability `cap` in its effective set.
bool mii_has_capability(int cap);

// Whether programs are started through an emulator.
bool mii_run_emulated();
