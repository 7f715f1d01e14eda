#include "mii_run.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// A ;-separated command put before the program, empty to run it directly.
#ifndef MIICTL_TEST_EMULATOR
#define MIICTL_TEST_EMULATOR ""
#endif

constexpr const char *RUN_LIBRARY_PATH = "LD_LIBRARY_PATH=";
constexpr int RUN_EXEC_FAILED = 127;

bool mii_run_emulated() { return MIICTL_TEST_EMULATOR[0] != '\0'; }

bool mii_has_capability(int cap) {
  __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) {
    return false;
  }
  return ((data[cap / 32].effective >> (cap % 32)) & 1U) != 0;
}

// The words of MIICTL_TEST_EMULATOR.
static std::vector<std::string> run_emulator() {
  std::vector<std::string> words;
  for (const char *word = MIICTL_TEST_EMULATOR; *word != '\0';) {
    const char *end = std::strchr(word, ';');
    if (end == nullptr) {
      end = word + std::strlen(word);
    }
    words.emplace_back(word, end);
    word = *end == ';' ? end + 1 : end;
  }
  return words;
}

// The emulator's words, then `argv`, null-terminated for exec.
static std::vector<char *> run_command(std::vector<std::string> *emulator, const char *const *argv) {
  std::vector<char *> command;
  for (std::string &word : *emulator) {
    command.push_back(&word[0]);
  }
  for (; *argv != nullptr; argv++) {
    command.push_back(const_cast<char *>(*argv));
  }
  command.push_back(nullptr);
  return command;
}

// This process's environment with LD_LIBRARY_PATH replaced by `setting`.
static std::vector<char *> run_environment(std::string *setting) {
  std::vector<char *> env;
  for (char **var = environ; *var != nullptr; var++) {
    if (std::strncmp(*var, RUN_LIBRARY_PATH, std::strlen(RUN_LIBRARY_PATH)) != 0) {
      env.push_back(*var);
    }
  }
  env.push_back(&(*setting)[0]);
  env.push_back(nullptr);
  return env;
}

// In the child: stdout and stderr into the pipes, then the program.
[[noreturn]] static void run_child(char *const *command, char *const *env, const int out[2], const int err[2],
                                   bool drop_net_admin) {
  if (dup2(out[1], STDOUT_FILENO) < 0 || dup2(err[1], STDERR_FILENO) < 0) {
    _exit(RUN_EXEC_FAILED);
  }
  // A root process gets its bounding set on exec: without CAP_NET_ADMIN
  // there, the program runs without it.
  if (drop_net_admin && (prctl(PR_CAPBSET_DROP, CAP_NET_ADMIN, 0, 0, 0) != 0 ||
                         prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0)) {
    _exit(RUN_EXEC_FAILED);
  }
  execvpe(command[0], command, env);
  _exit(RUN_EXEC_FAILED);
}

// Reads both pipes to their ends; the program may fill either first.
static void run_collect(int out, int err, mii_run_result *result) {
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  std::string *texts[2] = {&result->out, &result->err};
  int open_pipes = 2;
  while (open_pipes > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    for (int i = 0; i < 2; i++) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      char buf[4096];
      ssize_t got = read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        texts[i]->append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        open_pipes--;
      }
    }
  }
}

bool mii_run(const char *const *argv, const char *library_dir, bool drop_net_admin, mii_run_result *result) {
  std::vector<std::string> emulator = run_emulator();
  std::vector<char *> command = run_command(&emulator, argv);
  std::string library_path = std::string(RUN_LIBRARY_PATH) + library_dir;
  std::vector<char *> env = run_environment(&library_path);

  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    return false;
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return false;
  }
  pid_t pid = fork();
  if (pid == 0) {
    run_child(command.data(), env.data(), out, err, drop_net_admin);
  }
  close(out[1]);
  close(err[1]);
  if (pid > 0) {
    run_collect(out[0], err[0], result);
  }
  close(out[0]);
  close(err[0]);
  int wstatus = 0;
  if (pid < 0 || waitpid(pid, &wstatus, 0) != pid) {
    return false;
  }
  result->status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return result->status != RUN_EXEC_FAILED;
}
