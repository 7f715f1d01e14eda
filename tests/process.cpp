#include "tests/process.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Points the child's standard output where `setup` says; returns the
// parent's end of a broken pipe to close after the start, or -1.
int set_up_stdout(const stdout_setup &setup, FILE *captured, posix_spawn_file_actions_t *actions) {
  int broken[2] = {-1, -1};
  switch (setup.to) {
  case stdout_setup::CAPTURED: posix_spawn_file_actions_adddup2(actions, fileno(captured), 1); break;
  case stdout_setup::CLOSED: posix_spawn_file_actions_addclose(actions, 1); break;
  case stdout_setup::PATH: posix_spawn_file_actions_addopen(actions, 1, setup.path, O_WRONLY, 0); break;
  case stdout_setup::BROKEN_PIPE:
    if (pipe(broken) == 0) {
      close(broken[0]);
      posix_spawn_file_actions_adddup2(actions, broken[1], 1);
    }
    break;
  }
  return broken[1];
}

} // namespace

run_result run_miictl(const std::vector<std::string> &args, const std::vector<std::string> &env,
                      const stdout_setup &setup) {
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
  int pipe_end = set_up_stdout(setup, out, &actions);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), 2);
  // The child inherits an ignored SIGPIPE; otherwise it gets the default.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t sigpipe;
  sigemptyset(&sigpipe);
  sigaddset(&sigpipe, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &sigpipe);
  posix_spawnattr_setflags(&attr, setup.ignore_sigpipe ? 0 : POSIX_SPAWN_SETSIGDEF);
  void (*saved)(int) = std::signal(SIGPIPE, SIG_IGN);

  pid_t pid = 0;
  int wstatus = 0;
  bool started = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data()) == 0;
  std::signal(SIGPIPE, saved);
  if (pipe_end >= 0) {
    close(pipe_end);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  bool waited = started && waitpid(pid, &wstatus, 0) == pid;
  return {slurp(out), slurp(err), waited && WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1,
          waited && WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0};
}
