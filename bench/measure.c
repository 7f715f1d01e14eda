// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
/* Runs PROGRAM ARGS... with its output and complaints on /dev/null and
 * prints "STATUS WALL_US CPU_US MAXRSS_KIB" for it (status -1: killed).
 *
 * The peak memory a parent reads from wait4 for a child includes what the
 * child's process had resident before exec: a forked copy of the parent.
 * This launcher is small and forks before it touches anything, so for a
 * program bigger than it the figure is the program's own. */
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long microseconds(struct timeval t) { return (long)t.tv_sec * 1000000L + (long)t.tv_usec; }

int main(int argc, char **argv) {
  if (argc < 2) {
    return 127;
  }
  struct timespec start;
  struct timespec end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execv(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
    return 127;
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  printf("%d %ld %ld %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
         (long)(end.tv_sec - start.tv_sec) * 1000000L + (long)(end.tv_nsec - start.tv_nsec) / 1000L,
         microseconds(usage.ru_utime) + microseconds(usage.ru_stime), usage.ru_maxrss);
  return 0;
}
