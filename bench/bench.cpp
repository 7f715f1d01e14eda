// What the tool itself costs, apart from the bus.
//
// In-process, on the demo board in plain arrays (tests/board_mdio.h, next
// to no cost per access): one entry read, per access, and a whole dump
// through cli_main with standard output on /dev/null.
//
// Then as processes, on the simulated board (libmii.so from the build
// tree; the demo board unless MII_SIM_BOARD says otherwise): a dump
// against vlan-status, which is process start and nothing else, in wall
// time, CPU time and peak memory from wait4.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/cli.h"
#include "lut/lut.h"
#include "tests/board_mdio.h"

namespace {

constexpr double DUMP_CPU_BUDGET_US = 1000; // 0.5% of the bus's ~210 ms for a dump at 2.5 MHz
constexpr double MAXRSS_BUDGET = 1.10;      // the dump's peak memory against process start alone
constexpr int PROCESS_RUNS = 5;

double dump_cpu_us = 0;

double cpu_seconds() {
  timespec t = {};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void entry_read(benchmark::State &state) {
  board_reset();
  lut_entry entry = {0, 0};
  lut_read_entry("eth0", 85, &entry); // sets the enable bit: later reads are the steady state
  unsigned long before = board_accesses();
  for (auto _ : state) {
    lut_read_entry("eth0", 85, &entry);
    benchmark::DoNotOptimize(entry);
  }
  auto accesses = static_cast<double>(board_accesses() - before);
  state.counters["accesses"] = benchmark::Counter(accesses, benchmark::Counter::kAvgIterations);
  state.counters["s_per_access"] =
      benchmark::Counter(accesses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
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
  board_reset();
  unsigned long before = board_accesses();
  double start = cpu_seconds();
  for (auto _ : state) {
    benchmark::DoNotOptimize(cli_main(5, argv));
  }
  std::fflush(stdout);
  double cpu = cpu_seconds() - start;
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(null);
  auto iterations = static_cast<double>(state.iterations());
  dump_cpu_us = cpu / iterations * 1e6;
  state.counters["accesses"] =
      benchmark::Counter(static_cast<double>(board_accesses() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(dump)->Unit(benchmark::kMicrosecond);

struct process_figures {
  int status; // exit status, or -1
  double wall_ms;
  double cpu_ms;
  long maxrss_kib;
};

// Runs the built tool with its output, and its complaints, on /dev/null.
process_figures run_tool(const char *oper, const char *index) {
  const char *argv[] = {MIICTL_PATH, "-o", oper, "-n", "eth0", index ? "-i" : nullptr, index, nullptr};
  timespec start = {};
  timespec end = {};
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execv(argv[0], const_cast<char **>(argv));
    _exit(127);
  }
  int wstatus = 0;
  rusage usage = {};
  wait4(pid, &wstatus, 0, &usage);
  clock_gettime(CLOCK_MONOTONIC, &end);
  auto ms = [](timeval t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) * 1e-3; };
  return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1,
          static_cast<double>(end.tv_sec - start.tv_sec) * 1e3 +
              static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-6,
          ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss};
}

double median(double *v, int n) {
  for (int i = 1; i < n; i++) {
    for (int j = i; j > 0 && v[j - 1] > v[j]; j--) {
      double t = v[j];
      v[j] = v[j - 1];
      v[j - 1] = t;
    }
  }
  return v[n / 2];
}

// Median figures of `runs` runs of each, taken in turn.
void process_level() {
  process_figures probe = run_tool("read-lut-one", "55");
  if (probe.status != 0) {
    std::printf("\nprocess: the simulated board does not answer (read-lut-one exits %d); skipped\n", probe.status);
    return;
  }
  const char *opers[] = {"read-lut-all", "vlan-status"};
  double wall[2][PROCESS_RUNS];
  double cpu[2][PROCESS_RUNS];
  double rss[2][PROCESS_RUNS];
  for (int run = 0; run < PROCESS_RUNS; run++) {
    for (int o = 0; o < 2; o++) {
      process_figures f = run_tool(opers[o], nullptr);
      wall[o][run] = f.wall_ms;
      cpu[o][run] = f.cpu_ms;
      rss[o][run] = static_cast<double>(f.maxrss_kib);
    }
  }
  double m[2][3];
  std::printf("\nprocess (median of %d, output on /dev/null):\n", PROCESS_RUNS);
  for (int o = 0; o < 2; o++) {
    m[o][0] = median(wall[o], PROCESS_RUNS);
    m[o][1] = median(cpu[o], PROCESS_RUNS);
    m[o][2] = median(rss[o], PROCESS_RUNS);
    std::printf("  %-13s wall %7.2f ms  cpu %7.2f ms  peak memory %6.0f KiB\n", opers[o], m[o][0], m[o][1], m[o][2]);
  }
  double rss_ratio = m[0][2] / m[1][2];
  std::printf("  read-lut-all / vlan-status: wall %.2fx  cpu %.2fx  peak memory %.3fx (at most %.2fx: %s)\n",
              m[0][0] / m[1][0], m[0][1] / m[1][1], rss_ratio, MAXRSS_BUDGET,
              rss_ratio <= MAXRSS_BUDGET ? "ok" : "OVER");
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
