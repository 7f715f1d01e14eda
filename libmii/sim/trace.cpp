// The trace: one line per access, each written whole with a single write(2)
// so that lines from several processes do not mix and nothing waits in a
// buffer when the process ends.
#include "libmii/sim/trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

constexpr int SIM_TRACE_NIC_MAX = 64; // longer names are cut in the trace
constexpr int SIM_TRACE_LINE_MAX = 128;

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

static void sim_trace_put(const char *line, int len) {
  while (len > 0) {
    ssize_t done = write(sim_trace_fd, line, static_cast<size_t>(len));
    if (done < 0 && errno == EINTR) {
      continue;
    }
    if (done <= 0) {
      return;
    }
    line += done;
    len -= static_cast<int>(done);
  }
}

void sim_trace(const sim_access *a) {
  if (sim_trace_fd < 0) {
    return;
  }
  const char *nic = a->nic != nullptr ? a->nic : "(null)";
  char line[SIM_TRACE_LINE_MAX];
  int len = 0;
  if (a->kind == SIM_READ) {
    char value[16] = "-";
    if (a->stored) {
      std::snprintf(value, sizeof value, "0x%04x", static_cast<unsigned>(a->value));
    }
    len = std::snprintf(line, sizeof line, "R %.*s %u %d -> %s %d\n", SIM_TRACE_NIC_MAX, nic,
                        static_cast<unsigned>(a->phy), a->reg, value, a->status);
  } else {
    len = std::snprintf(line, sizeof line, "W %.*s %u %d 0x%04x %d\n", SIM_TRACE_NIC_MAX, nic,
                        static_cast<unsigned>(a->phy), a->reg, static_cast<unsigned>(a->value), a->status);
  }
  if (len > 0 && len < static_cast<int>(sizeof line)) {
    sim_trace_put(line, len);
  }
}
