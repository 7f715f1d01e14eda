// The built tool against the simulated board, compared byte for byte with
// what a script reading its output and exit status would see.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tests/demo_output.h"
#include "tests/process.h"

namespace {

// A small board: lookup reading already enabled, a switch that answers at
// once, entries on ports 0, 3 and 15, and one entry with only hi set.
const std::string BOARD = "interface eth0\n"
                          "reg 0 19 0x0800   # lookup reading enabled\n"
                          "busy 0\n"
                          "lut 1 0x00000100 0x105e0002\n"
                          "lut 85 0x00035544 0x33221100\n"
                          "lut 600 0x00045a00 0\n"
                          "lut 922 0x000f9a2f 0xc1605ea4\n";

class e2e : public testing::Test {
protected:
  void SetUp() override {
    char dir_template[] = "/tmp/miictl-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    dir = dir_template;
    board = dir + "/board.txt";
    trace = dir + "/trace.txt";
  }
  void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

  // Runs the tool on the board file holding `text`, tracing every access.
  run_result run(const std::string &text, const std::vector<std::string> &args, const stdout_setup &out = {}) {
    std::ofstream(board) << text;
    return run_miictl(args, {"MII_SIM_BOARD=" + board, "MII_SIM_TRACE=" + trace}, out);
  }

  std::string slurp(const std::string &path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }

  int trace_lines() {
    std::string text = slurp(trace);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  std::string dir;
  std::string board;
  std::string trace;
};

void expect_run(const run_result &r, const std::string &out, const std::string &err, int status) {
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.status, status);
}

TEST_F(e2e, demo_board_answers_every_operation) {
  expect_run(run_miictl({"-o", "read-lut-one", "-i", "55", "-n", "eth0"}), "0x0003554433221100\n", "", 0);
  expect_run(run_miictl({"-o", "read-lut-all", "-n", "eth0"}), DEMO_DUMP, "", 0);
  expect_run(run_miictl({"-o", "seek-for-mac", "-m", "a4:5e:60:c1:2f:9a", "-n", "eth0"}), "", "", 15);
  expect_run(run_miictl({"-o", "phy-status", "-n", "eth0"}), DEMO_PHYS, "", 0);
  expect_run(run_miictl({"-o", "vlan-status", "-n", "eth0"}), "", "", 0);
}

TEST_F(e2e, usage_names_the_program_as_started) {
  std::string p = miictl_path();
  run_result r = run_miictl({"-x"});
  EXPECT_EQ(r.err, p + ": invalid option -- 'x'\n");
  EXPECT_EQ(r.out.substr(0, p.size() + 2), p + ": ");
  EXPECT_NE(r.out.find("\n\t" + p + " -o operation -p phyid -r register -v value\n"), std::string::npos);
  EXPECT_EQ(r.status, 0);
}

TEST_F(e2e, enable_bit_is_set_once_and_kept_by_the_board) {
  std::string cleared = "reg 0 19 0x0123 # other bits must survive\n" + BOARD.substr(BOARD.find("busy"));
  expect_run(run(cleared, {"-V", "-o", "read-lut-one", "-i", "55", "-n", "eth0"}),
             "DBG oper: 1 nic: eth0 phyid: 0xffff \nenabling lookup reading\n0x0003554433221100\n0x0003554433221100\n",
             "", 0);
  EXPECT_NE(slurp(trace).find("W eth0 0 19 0x0923 0\n"), std::string::npos);
  EXPECT_NE(slurp(board).find("reg 0 19 0x0923"), std::string::npos);
  expect_run(run_miictl({"-V", "-o", "read-lut-one", "-i", "55", "-n", "eth0"}, {"MII_SIM_BOARD=" + board}),
             "DBG oper: 1 nic: eth0 phyid: 0xffff \n0x0003554433221100\n0x0003554433221100\n", "", 0);
}

TEST_F(e2e, dump_shows_entries_in_use_and_reports_a_failed_one) {
  expect_run(run(BOARD + "fault read 7 20 index 85 status 5 errno EIO\n", {"-o", "read-lut-all", "-n", "eth0"}),
             "1 src mac: 02:00:5e:10:00:01 physical port: 0 0x00000100105e0002\n"
             "Error reading entry no 85\n"
             "922 src mac: a4:5e:60:c1:2f:9a physical port: 15 0x000f9a2fc1605ea4\n",
             "", 0);
}

// With the enable bit set and an idle switch every entry costs exactly
// eight accesses and every PHY two; vlan-status touches nothing.
TEST_F(e2e, operations_make_only_the_accesses_they_need) {
  run(BOARD, {"-o", "read-lut-all", "-n", "eth0"});
  EXPECT_EQ(trace_lines(), 1024 * 8);
  unlink(trace.c_str());
  run(BOARD, {"-o", "phy-status", "-n", "eth0"});
  EXPECT_EQ(trace_lines(), 18);
  unlink(trace.c_str());
  run(BOARD, {"-o", "vlan-status", "-n", "eth0"});
  EXPECT_EQ(trace_lines(), 0);
  run(BOARD, {"-o", "read-lut-one", "-n", "eth0", "-h"});
  EXPECT_EQ(trace_lines(), 0);
}

TEST_F(e2e, seek_answers_through_the_exit_status) {
  const struct {
    const char *mac;
    const char *fault;
    const char *out;
    int status;
  } cases[] = {
      {"02:00:5e:10:00:01", "", "", 0},
      {"00:11:22:33:44:55", "", "", 3},
      {"00:11:22:33:fc:55", "", "", 3},
      {"a4:5e:60:c1:2f:9a", "", "", 15},
      {"00:11:22:34:44:55", "", "", 254},
      {"00:11:22:33:44:56", "", "", 254},
      {"00:11:22:33:44:55", "fault read 7 17 status -3 errno EIO\n", "-1\n", 255},
      {"00:11:22:33:44:55", "busy forever\n", "-1\n", 255},
  };
  for (const auto &c : cases) {
    expect_run(run(BOARD + c.fault, {"-o", "seek-for-mac", "-m", c.mac, "-n", "eth0"}), c.out, "", c.status);
  }
}

// Report lines of PHYs 0 to count-1 with every register zero.
std::string idle_phys(int count) {
  std::string lines;
  for (int phy = 0; phy < count; phy++) {
    lines += "PHY " + std::to_string(phy) + ": Autoneg: disabled\t speed: 10\t duplex: half\t link detected: no \n";
  }
  return lines;
}

TEST_F(e2e, failures_are_reported_with_the_library_reason) {
  const struct {
    const char *extra;
    std::vector<std::string> args;
    std::string out;
    const char *err;
    int status;
  } cases[] = {
      {"busy forever\n",
       {"-o", "read-lut-one", "-n", "eth0"},
       "",
       "error writing register\n: Connection timed out\n",
       1},
      {"fault read 7 18 status 5 errno EIO\n",
       {"-o", "read-lut-one", "-n", "eth0"},
       "",
       "error writing register\n: Input/output error\n",
       1},
      {"", {"-o", "read-lut-one", "-n", "eth1"}, "", "error writing register\n: No such device\n", 1},
      {"", {"-o", "phy-status", "-n", "eth1"}, "", "error performing operation\n: No such device\n", 1},
      {"fault read 5 1 status 5 errno EIO\n",
       {"-o", "phy-status", "-n", "eth0"},
       idle_phys(5),
       "error performing operation\n: Input/output error\n",
       1},
      {"fault read 5 1 status -5 errno EIO\n", {"-o", "phy-status", "-n", "eth0"}, idle_phys(9), "", 0},
  };
  for (const auto &c : cases) {
    expect_run(run(BOARD + c.extra, c.args), c.out, c.err, c.status);
  }
}

// Standard output closed, full, or a pipe nobody reads: the tool pays no
// heed to failed writes, so the exit status is the operation's own and
// complaints still reach standard error. The only other end is the
// ordinary SIGPIPE; never a hang, a crash or a sanitizer report.
TEST_F(e2e, output_that_cannot_be_written_leaves_the_exit_status_alone) {
  const stdout_setup closed = {stdout_setup::CLOSED};
  const stdout_setup full = {stdout_setup::PATH, "/dev/full"};
  const stdout_setup broken = {stdout_setup::BROKEN_PIPE};
  const stdout_setup broken_ignored = {stdout_setup::BROKEN_PIPE, nullptr, true};
  const std::vector<std::string> dump = {"-o", "read-lut-all", "-n", "eth0"};
  const std::vector<std::string> one = {"-o", "read-lut-one", "-i", "55", "-n", "eth0"};
  const std::vector<std::string> seek = {"-o", "seek-for-mac", "-m", "00:11:22:33:44:55", "-n", "eth0"};
  const char *timed_out = "error writing register\n: Connection timed out\n";
  const struct {
    const char *fault; // on the small board; nullptr: the demo board
    std::vector<std::string> args;
    stdout_setup out;
    int status; // -1: ended by `signal`
    int signal;
    const char *err;
  } cases[] = {
      {nullptr, dump, closed, 0, 0, ""},
      {nullptr, dump, full, 0, 0, ""},
      {nullptr, {"-V", "-o", "read-lut-all", "-n", "eth0"}, full, 0, 0, ""}, // some 20 KiB, many failed writes
      {nullptr, one, full, 0, 0, ""},
      {nullptr, {"-x"}, full, 0, 0, "invalid option -- 'x'\n"},
      {nullptr, seek, closed, 3, 0, ""},
      {"busy forever\n", one, closed, 1, 0, timed_out},
      {"busy forever\n", seek, broken_ignored, 255, 0, ""},
      {"busy forever\n", seek, broken, -1, SIGPIPE, ""}, // "-1" is written on the way out
      {nullptr, dump, broken, -1, SIGPIPE, ""},
      {nullptr, dump, broken_ignored, 0, 0, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.args[c.args.size() > 2 ? 1 : 0] << " stdout " << c.out.to << " "
                                    << c.out.ignore_sigpipe << (c.fault ? c.fault : ""));
    run_result r = c.fault ? run(BOARD + c.fault, c.args, c.out) : run_miictl(c.args, {}, c.out);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.signal, c.signal);
    EXPECT_EQ(r.out, "");
    if (c.args[0] == "-x") {
      EXPECT_EQ(r.err, miictl_path() + std::string(": ") + c.err);
    } else {
      EXPECT_EQ(r.err, c.err);
    }
  }
}

TEST_F(e2e, malformed_board_file_fails_every_access_with_one_message) {
  run_result r = run("busy 0\nbogus 1 2\n", {"-o", "read-lut-one", "-n", "eth0"});
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(board + ":2:"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "error writing register\n: Invalid argument\n");
  EXPECT_EQ(r.status, 1);
}

// The Linux backend against this machine's kernel: the loopback has no MII
// bus, and a name too long for the kernel is refused by the library itself.
TEST(kernel, refusals_are_reported_with_the_kernels_reason) {
  const struct {
    const char *oper;
    const char *nic;
    const char *err;
  } cases[] = {
      {"read-lut-one", "lo", "error writing register\n: Operation not supported\n"},
      {"read-lut-one", "no-such-if0", "error writing register\n: No such device\n"},
      {"read-lut-one", "abcdefghijklmnop", "error writing register\n: No such device\n"},
      {"phy-status", "lo", "error performing operation\n: Operation not supported\n"},
  };
  for (const auto &c : cases) {
    run_result r = run_miictl({"-o", c.oper, "-n", c.nic}, {"LD_LIBRARY_PATH=" MII_LINUX_DIR});
    if (r.err.find(": Function not implemented") != std::string::npos) {
      GTEST_SKIP() << "the emulator answers MII requests itself instead of passing them to the kernel";
    }
    if (r.err.find(": Operation not permitted") != std::string::npos) {
      GTEST_SKIP() << "needs CAP_NET_ADMIN: without it the kernel refuses every request";
    }
    expect_run(r, "", c.err, 1);
  }
}

} // namespace
