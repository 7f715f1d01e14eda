// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii-trace.so: loaded with LD_PRELOAD in front of any libmii.so (the
// board's own included), it passes each mdio_read and mdio_write on to the
// next definition in the lookup order and appends one trace line per
// access to the file named by MII_TRACE ('-': standard error). What the
// caller sees is never changed: status, stored value, errno.
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>

#include "libmii/trace/line.h"
#include "mdio/mdio.h"

#define TRACE_EXPORT __attribute__((visibility("default")))

using trace_read_fn = int (*)(const char *, uint16_t, int, uint16_t *);
using trace_write_fn = int (*)(const char *, uint16_t, int, uint16_t);

static trace_file trace_out = {-1, nullptr, nullptr}; // fd -1: forward only; who null: not started
static trace_read_fn trace_next_read;
static trace_write_fn trace_next_write;

// On the first access: finds the library behind this one and opens the
// trace. Leaves errno as the caller had it, and returns it.
static int trace_start() {
  int caller_errno = errno;
  if (trace_out.who == nullptr) {
    trace_next_read = reinterpret_cast<trace_read_fn>(dlsym(RTLD_NEXT, "mdio_read"));
    trace_next_write = reinterpret_cast<trace_write_fn>(dlsym(RTLD_NEXT, "mdio_write"));
    if (trace_next_read == nullptr || trace_next_write == nullptr) {
      std::fprintf(stderr, "libmii-trace: no libmii.so behind this one\n");
    }
    trace_open(&trace_out, "MII_TRACE", "libmii-trace");
  }
  errno = caller_errno;
  return caller_errno;
}

// What an access gives when there is no library behind this one.
static int trace_no_library() {
  errno = ENOSYS;
  return ENOSYS;
}

// Records the access, then leaves errno as the library behind left it. The
// library reported errno if it failed or changed it.
static int trace_end(trace_record *r, int caller_errno) {
  int err = errno;
  r->has_errno = r->status != 0 || err != caller_errno;
  r->err = err;
  trace_put(&trace_out, r);
  errno = err;
  return r->status;
}

extern "C" TRACE_EXPORT int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  int caller_errno = trace_start();
  // The library may leave the caller's value alone. A read with status 0
  // has stored by contract; any other shows as stored if the value changed.
  uint16_t before = value != nullptr ? *value : 0;
  int status = trace_next_read != nullptr ? trace_next_read(nic, phy, reg, value) : trace_no_library();
  bool stored = value != nullptr && (status == 0 || *value != before);
  trace_record r = {false, nic, phy, reg, stored ? *value : uint16_t{0}, stored, status, false, 0};
  return trace_end(&r, caller_errno);
}

extern "C" TRACE_EXPORT int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) {
  int caller_errno = trace_start();
  int status = trace_next_write != nullptr ? trace_next_write(nic, phy, reg, value) : trace_no_library();
  trace_record r = {true, nic, phy, reg, value, true, status, false, 0};
  return trace_end(&r, caller_errno);
}
