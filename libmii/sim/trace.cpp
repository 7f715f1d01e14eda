// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The simulated board's trace: one line per access, in the format of
// libmii/trace/line.h, to the file named by MII_SIM_TRACE.
#include "libmii/sim/trace.h"

#include "libmii/trace/line.h"

static trace_file sim_trace_out = {-1, nullptr, nullptr};

void sim_trace_open() { trace_open(&sim_trace_out, "MII_SIM_TRACE", "libmii-sim"); }

void sim_trace(const sim_access *a) {
  if (sim_trace_out.fd < 0) {
    return;
  }
  trace_record r = {a->kind == SIM_WRITE, a->nic, a->phy, a->reg, a->value, a->stored, a->status, a->failed, a->err};
  char line[TRACE_LINE_MAX];
  trace_put(&sim_trace_out, line, trace_format(&r, line));
}
