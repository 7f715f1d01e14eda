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

#define NOBODY 65534

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

static int command(char *line) {
  char *argv[16] = {0};
  for (int argc = 0; argc < 15 && (argv[argc] = strtok(argc == 0 ? line : NULL, " \n")) != NULL; argc++) {
  }
  if (argv[0] == NULL) {
    return 0;
  }
  if (argv[1] != NULL && argv[2] == NULL && (strcmp(argv[0], "up") == 0 || strcmp(argv[0], "down") == 0)) {
    return link_set(argv[1], argv[0][0] == 'u');
  }
  int nobody = strcmp(argv[0], "nobody") == 0;
  int status = 0;
  pid_t pid = fork();
  if (pid == 0) {
    if (nobody && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) {
      _exit(126);
    }
    execvp(argv[nobody], argv + nobody);
    _exit(127);
  }
  if (pid < 0 || waitpid(pid, &status, 0) != pid) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
