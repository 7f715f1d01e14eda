// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The trace line, one per register access, as both the simulated board
// (MII_SIM_TRACE) and the interposer libmii-trace.so (MII_TRACE) write it;
// docs/simulated-board.md documents the format:
//   R <nic> <phy> <reg> -> 0x<value>|- <status>[ errno=<e>]
//   W <nic> <phy> <reg> 0x<value> <status>[ errno=<e>]
#pragma once

#include <cstdint>

constexpr int TRACE_NIC_MAX = 40;                          // bytes of a name the trace keeps
constexpr int TRACE_NIC_FIELD_MAX = TRACE_NIC_MAX * 4 + 2; // every byte escaped, quoted

// One access as the trace records it.
struct trace_record {
  bool write;
  const char *nic; // may be null
  uint16_t phy;
  int reg;
  uint16_t value; // written, or stored by a read
  bool stored;    // reads: `value` was stored through the pointer
  int status;
  bool has_errno; // the access left `err` in errno
  int err;
};

// The name as a field without blanks: plain when it is ordinary, else
// quoted with every other byte as \xHH; (null) for none. `out` holds
// TRACE_NIC_FIELD_MAX + 1 bytes.
void trace_nic(const char *nic, char *out);

// A trace file being written.
struct trace_file {
  int fd;           // -1: none, or given up
  const char *who;  // the library, as its messages name it
  const char *path; // as the environment names it
};

// Opens the trace file named by the environment variable `var` for
// appending ('-': standard error), if it names one. The file is refused
// if it is a symbolic link, not a regular file (a FIFO is never waited
// on) or owned by a user other than root and the caller, and is never
// given one of the standard streams' descriptors. Reports on standard
// error, as "WHO: FILE: reason", why it cannot be opened.
void trace_open(trace_file *t, const char *var, const char *who);

// Appends the line of `r` to the trace, if there is one, as one record
// (fd_write), so that lines of several processes do not mix and a run that
// is killed leaves whole lines. A line that cannot be written in full (a
// full disk, the file-size limit, which never ends the run) is taken back
// off the file, said once on standard error, and the trace given up: it
// ends with the last whole access.
void trace_put(trace_file *t, const trace_record *r);
