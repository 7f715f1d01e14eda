// The simulated board's trace: one line per access, in the format of
// libmii/trace/line.h, to the file named by MII_SIM_TRACE.
#include "libmii/sim/trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "libmii/trace/line.h"

static int sim_trace_fd = -1;

void sim_trace_open() {
  const char *path = std::getenv("MII_SIM_TRACE");
  if (path == nullptr || *path == '\0') {
    return;
  }
  if (std::strcmp(path, "-") == 0) {
    sim_trace_fd = STDERR_FILENO;
    return;
  }
  sim_trace_fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (sim_trace_fd < 0) {
    std::fprintf(stderr, "libmii-sim: %s: %s\n", path, std::strerror(errno));
  }
}

void sim_trace(const sim_access *a) {
  if (sim_trace_fd < 0) {
    return;
  }
  trace_record r = {a->kind == SIM_WRITE, a->nic, a->phy, a->reg, a->value, a->stored, a->status, a->failed, a->err};
  char line[TRACE_LINE_MAX];
  trace_put(sim_trace_fd, line, trace_format(&r, line));
}
