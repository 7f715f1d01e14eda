#include "tests/process.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

const char *miictl_path() { return MIICTL_PATH; }

namespace {

// MIICTL_TEST_EMULATOR: the command that runs a target binary (for a cross
// build, e.g. "/usr/bin/qemu-ppc;-L;/usr/powerpc-linux-gnu"), empty on the host.
std::vector<std::string> command_line(const std::vector<std::string> &args) {
  std::vector<std::string> cmd;
  const std::string emulator = MIICTL_TEST_EMULATOR; // NOLINT(readability-redundant-string-init): empty on the host
  for (size_t at = 0, end = 0; at < emulator.size(); at = end + 1) {
    end = std::min(emulator.find(';', at), emulator.size());
    cmd.push_back(emulator.substr(at, end - at));
  }
  cmd.emplace_back(MIICTL_PATH);
  cmd.insert(cmd.end(), args.begin(), args.end());
  return cmd;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
  std::vector<char *> ptrs;
  ptrs.reserve(strings.size() + 1);
  for (std::string &s : strings) {
    ptrs.push_back(s.data());
  }
  ptrs.push_back(nullptr);
  return ptrs;
}

std::string slurp(FILE *file) {
  std::string text;
  std::rewind(file);
  for (int c = 0; (c = std::fgetc(file)) != EOF;) {
    text.push_back(static_cast<char>(c));
  }
  std::fclose(file);
  return text;
}

} // namespace

run_result run_miictl(const std::vector<std::string> &args, const std::vector<std::string> &env) {
  std::vector<std::string> cmd = command_line(args);
  std::vector<std::string> envs;
  for (char **e = environ; *e != nullptr; e++) {
    if (std::strncmp(*e, "MII_SIM_", 8) != 0) {
      envs.emplace_back(*e);
    }
  }
  envs.insert(envs.end(), env.begin(), env.end());
  std::vector<char *> argv = pointers(cmd);
  std::vector<char *> envp = pointers(envs);

  FILE *out = std::tmpfile();
  FILE *err = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fileno(out), 1);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), 2);
  pid_t pid = 0;
  int wstatus = 0;
  bool ran = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0 &&
             waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus);
  posix_spawn_file_actions_destroy(&actions);
  return {slurp(out), slurp(err), ran ? WEXITSTATUS(wstatus) : -1};
}
