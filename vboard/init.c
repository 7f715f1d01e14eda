// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
/* /init of the virtual board. Runs each line of /commands in turn: prints
 * it after "$ ", then what the command wrote to standard output, then what
 * it wrote to standard error with each line after "! ", then "exit N".
 *
 * A line is split into words at blanks and tabs; there is no quoting.
 *   up IF, down IF         set the interface's IFF_UP (N is 0 or the errno)
 *   nobody CMD...          run CMD as user 65534, without capabilities
 *   CMD... & CMD... [&...] start the commands together; when all have
 *                          ended, print each one's output and status in turn
 * Anything else is a program and its arguments. Powers the machine off at
 * the end. */
#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/reboot.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#define NOBODY 65534
#define WORDS_MAX 64
#define JOBS_MAX 16

struct job {
  char **argv;
  pid_t pid;
  int status;
};

static int link_set(const char *name, int up) {
  struct ifreq ifr = {0};
  strncpy(ifr.ifr_name, name, IFNAMSIZ - 1);
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ioctl(fd, SIOCGIFFLAGS, &ifr) != 0) {
    return errno;
  }
  ifr.ifr_flags = (short)(up ? ifr.ifr_flags | IFF_UP : ifr.ifr_flags & ~IFF_UP);
  return ioctl(fd, SIOCSIFFLAGS, &ifr) == 0 ? 0 : errno;
}

static void output_name(char *name, size_t size, int n, const char *stream) {
  snprintf(name, size, "/tmp/%d.%s", n, stream);
}

/* The child: no input, standard output and error to job N's files, then
 * the program. */
static void child(char **argv, int n) {
  char name[32];
  int nobody = strcmp(argv[0], "nobody") == 0;
  int in = open("/dev/null", O_RDONLY);
  if (in < 0 || dup2(in, 0) < 0) {
    _exit(126);
  }
  output_name(name, sizeof name, n, "out");
  int out = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  output_name(name, sizeof name, n, "err");
  int err = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
    _exit(126);
  }
  if (nobody && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) {
    _exit(126);
  }
  execvp(argv[nobody], argv + nobody);
  _exit(127);
}

/* Copies job N's STREAM to the console, with PREFIX before each line. */
static void show(int n, const char *stream, const char *prefix) {
  char name[32];
  output_name(name, sizeof name, n, stream);
  FILE *f = fopen(name, "re");
  int c;
  int at_start = 1;
  while (f != NULL && (c = getc(f)) != EOF) {
    if (at_start) {
      fputs(prefix, stdout);
    }
    putchar(c);
    at_start = c == '\n';
  }
  if (f != NULL) {
    fclose(f);
  }
}

/* Runs the jobs together and reports each in turn. */
static void run(struct job *jobs, int count) {
  for (int n = 0; n < count; n++) {
    jobs[n].pid = fork();
    if (jobs[n].pid == 0) {
      child(jobs[n].argv, n);
    }
  }
  for (int n = 0; n < count; n++) {
    int status = 0;
    if (jobs[n].pid < 0 || waitpid(jobs[n].pid, &status, 0) != jobs[n].pid) {
      jobs[n].status = -1;
    } else {
      jobs[n].status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
  }
  for (int n = 0; n < count; n++) {
    show(n, "out", "");
    show(n, "err", "! ");
    printf("exit %d\n", jobs[n].status);
  }
}

/* Splits LINE into words and runs it. */
static void command(char *line) {
  static char *words[WORDS_MAX + 1];
  struct job jobs[JOBS_MAX];
  int count = 0;
  int w = 0;
  for (char *word = strtok(line, " \t\n"); word != NULL && w < WORDS_MAX; word = strtok(NULL, " \t\n")) {
    if (strcmp(word, "&") == 0) {
      words[w++] = NULL;
    } else {
      if (w == 0 || words[w - 1] == NULL) {
        if (count == JOBS_MAX) {
          break;
        }
        jobs[count++].argv = &words[w];
      }
      words[w++] = word;
    }
  }
  words[w] = NULL;
  if (count == 1 && words[1] != NULL && words[2] == NULL &&
      (strcmp(words[0], "up") == 0 || strcmp(words[0], "down") == 0)) {
    printf("exit %d\n", link_set(words[1], words[0][0] == 'u'));
  } else if (count > 0) {
    run(jobs, count);
  }
}

int main(void) {
  /* The image has no device nodes: the console comes from devtmpfs. */
  mount("devtmpfs", "/dev", "devtmpfs", 0, NULL);
  if (open("/dev/console", O_RDWR) == 0) {
    dup2(0, 1);
    dup2(0, 2);
  }
  setenv("PATH", "/usr/sbin:/usr/bin", 1);
  FILE *commands = fopen("/commands", "re");
  char line[4096];
  while (commands != NULL && fgets(line, sizeof line, commands) != NULL) {
    printf("$ %s", line);
    fflush(stdout);
    command(line);
    fflush(stdout);
  }
  reboot(RB_POWER_OFF);
  return 0;
}
