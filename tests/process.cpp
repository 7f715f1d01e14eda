#include "tests/process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

const char *miictl_path() { return MIICTL_PATH; }

namespace {

// MIICTL_TEST_EMULATOR: the command that runs a target binary (for a cross
// build, e.g. "qemu-ppc;-L;/usr/powerpc-linux-gnu"), empty on the host.
std::vector<std::string> command_line(const std::vector<std::string> &args) {
  std::vector<std::string> cmd;
  std::string emulator = MIICTL_TEST_EMULATOR;
  for (size_t at = 0; at < emulator.size();) {
    size_t end = emulator.find(';', at);
    end = end == std::string::npos ? emulator.size() : end;
    cmd.push_back(emulator.substr(at, end - at));
    at = end + 1;
  }
  cmd.emplace_back(MIICTL_PATH);
  cmd.insert(cmd.end(), args.begin(), args.end());
  return cmd;
}

std::vector<std::string> environment(const std::vector<std::string> &extra) {
  std::vector<std::string> env;
  for (char **e = environ; *e != nullptr; e++) {
    if (std::strncmp(*e, "MII_SIM_", 8) != 0) {
      env.emplace_back(*e);
    }
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
  std::vector<char *> ptrs;
  for (std::string &s : strings) {
    ptrs.push_back(s.data());
  }
  ptrs.push_back(nullptr);
  return ptrs;
}

// Drains both pipes until they close or the deadline passes.
bool drain(int out_fd, int err_fd, run_result &r, time_t deadline) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string *sinks[2] = {&r.out, &r.err};
  int open_fds = 2;
  while (open_fds > 0) {
    if (std::time(nullptr) > deadline) {
      return false;
    }
    if (poll(fds, 2, 1000) < 0 && errno != EINTR) {
      return false;
    }
    for (int i = 0; i < 2; i++) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        open_fds--;
      }
    }
  }
  return true;
}

} // namespace

// In the child: standard output as `setup` says.
static void set_up_stdout(const stdout_setup &setup, int captured) {
  std::signal(SIGPIPE, setup.ignore_sigpipe ? SIG_IGN : SIG_DFL);
  int broken[2];
  switch (setup.to) {
  case stdout_setup::CAPTURED: dup2(captured, STDOUT_FILENO); break;
  case stdout_setup::CLOSED: close(STDOUT_FILENO); break;
  case stdout_setup::PATH: dup2(open(setup.path, O_WRONLY), STDOUT_FILENO); break;
  case stdout_setup::BROKEN_PIPE:
    if (pipe(broken) == 0) {
      dup2(broken[1], STDOUT_FILENO);
      close(broken[0]);
      close(broken[1]);
    }
    break;
  }
}

run_result run_miictl(const std::vector<std::string> &args, const std::vector<std::string> &env, int timeout_s,
                      const stdout_setup &setup) {
  std::vector<std::string> cmd = command_line(args);
  std::vector<std::string> envs = environment(env);
  std::vector<char *> argv = pointers(cmd);
  std::vector<char *> envp = pointers(envs);
  int out[2];
  int err[2];
  if (pipe(out) != 0 || pipe(err) != 0) {
    return {"", "pipe failed", -1, 0};
  }
  pid_t pid = fork();
  if (pid == 0) {
    set_up_stdout(setup, out[1]);
    dup2(err[1], STDERR_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1]}) {
      close(fd);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  run_result r = {"", "", -1, 0};
  bool finished = drain(out[0], err[0], r, std::time(nullptr) + timeout_s);
  close(out[0]);
  close(err[0]);
  if (!finished) {
    kill(pid, SIGKILL);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  if (finished && WIFEXITED(wstatus)) {
    r.status = WEXITSTATUS(wstatus);
  }
  if (finished && WIFSIGNALED(wstatus)) {
    r.signal = WTERMSIG(wstatus);
  }
  return r;
}
