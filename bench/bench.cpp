// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// What the tool itself costs, apart from the bus.
//
// In-process, on the bus below, which costs nothing: one entry read, per
// access, and a whole dump through cli_main with standard output on
// /dev/null. Every register reads 0x0801: the busy flag clear, lookup reads
// already enabled, and every table entry in use, so the dump prints all
// 1024 lines (the demo board has 5), the most a dump costs the tool. Linked
// in, the simulated board would cost about 15 ns an access, several times
// the tool's own: a dump on it would measure mostly the board.
//
// Then as processes, on the simulated board (libmii.so from the build
// tree; the demo board unless MII_SIM_BOARD says otherwise): a dump
// against vlan-status, which is process start and nothing else, in wall
// time, CPU time and peak memory from wait4 (through bench/measure.c).
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/cli.h"
#include "lut/lut.h"
#include "mdio/mdio.h"

namespace {

constexpr uint16_t BUS_PATTERN = 0x0801;
constexpr double DUMP_CPU_BUDGET_US = 1000; // 0.5% of the bus's ~210 ms for a dump at 2.5 MHz
constexpr double MAXRSS_BUDGET = 1.10;      // the dump's peak memory against process start alone
constexpr int PROCESS_RUNS = 11;

unsigned long accesses = 0;
double dump_cpu_us = 0;

} // namespace

extern "C" int mdio_read(const char * /*nic*/, uint16_t /*phy*/, int /*reg*/, uint16_t *value) {
  accesses++;
  *value = BUS_PATTERN;
  return 0;
}

extern "C" int mdio_write(const char * /*nic*/, uint16_t /*phy*/, int /*reg*/, uint16_t /*value*/) {
  accesses++;
  return 0;
}

namespace {

double cpu_seconds() {
  timespec t = {};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void entry_read(benchmark::State &state) {
  lut_entry entry = {0, 0};
  unsigned long before = accesses;
  for (auto _ : state) {
    lut_read_entry("eth0", 85, &entry);
    benchmark::DoNotOptimize(entry);
  }
  auto made = static_cast<double>(accesses - before);
  state.counters["accesses"] = benchmark::Counter(made, benchmark::Counter::kAvgIterations);
  state.counters["s_per_access"] = benchmark::Counter(made, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(entry_read);

void dump(benchmark::State &state) {
  static char arg0[] = "miictl";
  static char arg1[] = "-o";
  static char arg2[] = "read-lut-all";
  static char arg3[] = "-n";
  static char arg4[] = "eth0";
  char *argv[] = {arg0, arg1, arg2, arg3, arg4, nullptr};
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  unsigned long before = accesses;
  double start = cpu_seconds();
  for (auto _ : state) {
    benchmark::DoNotOptimize(cli_main(5, argv));
  }
  std::fflush(stdout);
  double cpu = cpu_seconds() - start;
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(null);
  dump_cpu_us = cpu / static_cast<double>(state.iterations()) * 1e6;
  state.counters["accesses"] =
      benchmark::Counter(static_cast<double>(accesses - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(dump)->Unit(benchmark::kMicrosecond);

struct process_figures {
  int status; // exit status, -1 if killed, 127 if it could not be run
  double wall_ms;
  double cpu_ms;
  double maxrss_kib;
};

// Runs the built tool with `args` through the launcher in measure.c.
process_figures run_tool(const char *const *args) {
  const char *argv[16] = {MIICTL_MEASURE_PATH, MIICTL_PATH};
  for (int i = 0; args[i] != nullptr && i < 13; i++) {
    argv[i + 2] = args[i];
  }
  int out[2];
  if (pipe(out) != 0) {
    return {127, 0, 0, 0};
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execv(argv[0], const_cast<char **>(argv));
    _exit(127);
  }
  close(out[1]);
  char line[128] = {0};
  ssize_t n = read(out[0], line, sizeof line - 1);
  close(out[0]);
  waitpid(pid, nullptr, 0);
  long wall_us = 0;
  long cpu_us = 0;
  long maxrss = 0;
  process_figures f = {127, 0, 0, 0};
  if (n > 0 && std::sscanf(line, "%d %ld %ld %ld", &f.status, &wall_us, &cpu_us, &maxrss) == 4) {
    f = {f.status, static_cast<double>(wall_us) * 1e-3, static_cast<double>(cpu_us) * 1e-3,
         static_cast<double>(maxrss)};
  }
  return f;
}

double median(double *v, int n) {
  std::sort(v, v + n);
  return v[n / 2];
}

// The dump against process start alone (vlan-status touches nothing and
// prints nothing). For what lies in between: the usage text is process
// start plus printing anything at all, one entry read adds the library's
// first accesses; the dump against that is the cost of its size.
void process_level() {
  constexpr int KINDS = 4;
  const char *runs[KINDS][7] = {{"-o", "read-lut-all", "-n", "eth0", nullptr},
                                {"-o", "vlan-status", "-n", "eth0", nullptr},
                                {"-h", nullptr},
                                {"-o", "read-lut-one", "-i", "55", "-n", "eth0", nullptr}};
  const char *names[KINDS] = {"read-lut-all", "vlan-status", "-h (usage)", "read-lut-one"};
  int status = run_tool(runs[3]).status;
  if (status != 0) {
    std::printf("\nprocess: the simulated board does not answer (read-lut-one exits %d); skipped\n", status);
    return;
  }
  double figures[KINDS][3][PROCESS_RUNS];
  for (int run = 0; run < PROCESS_RUNS; run++) {
    for (int k = 0; k < KINDS; k++) {
      process_figures f = run_tool(runs[k]);
      figures[k][0][run] = f.wall_ms;
      figures[k][1][run] = f.cpu_ms;
      figures[k][2][run] = f.maxrss_kib;
    }
  }
  double m[KINDS][3];
  std::printf("\nprocess (median of %d, output on /dev/null):\n", PROCESS_RUNS);
  for (int k = 0; k < KINDS; k++) {
    for (int i = 0; i < 3; i++) {
      m[k][i] = median(figures[k][i], PROCESS_RUNS);
    }
    std::printf("  %-13s wall %7.2f ms  cpu %7.2f ms  peak memory %6.0f KiB\n", names[k], m[k][0], m[k][1], m[k][2]);
  }
  double rss_ratio = m[0][2] / m[1][2];
  std::printf("  read-lut-all / vlan-status: wall %.2fx  cpu %.2fx  peak memory %.3fx (at most %.2fx: %s)\n",
              m[0][0] / m[1][0], m[0][1] / m[1][1], rss_ratio, MAXRSS_BUDGET,
              rss_ratio <= MAXRSS_BUDGET ? "ok" : "OVER");
  std::printf("  read-lut-all / read-lut-one: wall %.2fx  cpu %.2fx  peak memory %.3fx\n", m[0][0] / m[3][0],
              m[0][1] / m[3][1], m[0][2] / m[3][2]);
}

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (dump_cpu_us > 0) {
    std::printf("\ndump, the tool's own CPU time: %.1f us (at most %.0f us: %s)\n", dump_cpu_us, DUMP_CPU_BUDGET_US,
                dump_cpu_us <= DUMP_CPU_BUDGET_US ? "ok" : "OVER");
  }
  process_level();
  return 0;
}
