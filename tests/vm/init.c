// /init of the VM checks. Runs each line of /commands in turn: prints it
// after "$ ", runs it and prints "exit N". "up IF" and "down IF" set the
// interface's IFF_UP (N is 0 or the errno); "nobody CMD..." runs CMD as
// user 65534, without capabilities. Powers the machine off at the end.
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

#define MAX_WORDS 16
#define NOBODY 65534

static int link_set(const char *name, int up) {
  struct ifreq ifr;
  memset(&ifr, 0, sizeof ifr);
  strncpy(ifr.ifr_name, name, IFNAMSIZ - 1);
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int status = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 ? 0 : errno;
  ifr.ifr_flags = (short)(up ? ifr.ifr_flags | IFF_UP : ifr.ifr_flags & ~IFF_UP);
  if (status == 0 && ioctl(fd, SIOCSIFFLAGS, &ifr) != 0) {
    status = errno;
  }
  close(fd);
  return status;
}

static int run(char **argv, int nobody) {
  pid_t pid = fork();
  if (pid == 0) {
    if (nobody && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) {
      _exit(126);
    }
    execvp(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

static int command(char *line) {
  char *argv[MAX_WORDS + 1];
  int argc = 0;
  for (char *word = strtok(line, " \n"); word != NULL && argc < MAX_WORDS; word = strtok(NULL, " \n")) {
    argv[argc++] = word;
  }
  argv[argc] = NULL;
  if (argc == 2 && (strcmp(argv[0], "up") == 0 || strcmp(argv[0], "down") == 0)) {
    return link_set(argv[1], argv[0][0] == 'u');
  }
  int nobody = argc > 1 && strcmp(argv[0], "nobody") == 0;
  return argc == 0 ? 0 : run(argv + nobody, nobody);
}

int main(void) {
  // The image has no device nodes: the console comes from devtmpfs.
  mount("devtmpfs", "/dev", "devtmpfs", 0, NULL);
  if (open("/dev/console", O_RDWR) == 0) {
    dup2(0, 1);
    dup2(0, 2);
  }
  setenv("PATH", "/usr/sbin:/usr/bin", 1);
  FILE *commands = fopen("/commands", "re");
  char line[256];
  while (commands != NULL && fgets(line, sizeof line, commands) != NULL) {
    printf("$ %s", line);
    fflush(stdout);
    printf("exit %d\n", command(line));
    fflush(stdout);
  }
  reboot(RB_POWER_OFF);
  return 0;
}
