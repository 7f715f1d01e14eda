// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Replay: answers from a recorded trace. Each (interface, PHY, register)
// has a queue of recorded reads and one of recorded writes: a read gets the
// next recorded read, with its value, status and errno; a write is held
// against the next recorded write. An access the recording cannot answer
// (one read too many, a different value written) fails with EIO, and the
// first of them is reported with the trace line it was held against.
#include "libmii/sim/board.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "libmii/trace/line.h"

constexpr int SIM_REPLAY_KEYS_MAX = 64;    // registers, by interface and kind, in a recording
constexpr uint32_t SIM_REPLAY_ROOM = 1024; // records room is made for at a time, at least

// The recorded accesses of one register of one interface, reads or writes.
struct sim_replay_key {
  char nic[TRACE_NIC_FIELD_MAX + 1]; // as the trace writes it
  bool write;
  uint16_t phy;
  int reg;
  uint32_t next;      // the record to look from
  uint32_t last_line; // the trace line of its last record
};

// One recorded access, filed under its register.
struct sim_replay_record {
  uint32_t line;
  int key;
  trace_record access; // but for its interface, which the key holds
};

static const char *sim_replay_path;
static sim_replay_key sim_keys[SIM_REPLAY_KEYS_MAX];
static int sim_key_count;
static sim_replay_record *sim_records; // in trace order; filled once, at the first access
static uint32_t sim_record_count;
static uint32_t sim_record_room;
static bool sim_diverged;

static int sim_replay_key_of(std::string_view nic, bool write, uint16_t phy, int reg) {
  for (int k = 0; k < sim_key_count; k++) {
    if (sim_keys[k].write == write && sim_keys[k].phy == phy && sim_keys[k].reg == reg && nic == sim_keys[k].nic) {
      return k;
    }
  }
  return -1;
}

// Files a record under its register, making room for it.
static bool sim_replay_file(const sim_reader *p, std::string_view nic, const trace_record *a) {
  int k = sim_replay_key_of(nic, a->write, a->phy, a->reg);
  if (k < 0 && sim_key_count == SIM_REPLAY_KEYS_MAX) {
    return sim_fail(p, "more than %d registers", SIM_REPLAY_KEYS_MAX);
  }
  if (k < 0) {
    k = sim_key_count++;
    sim_keys[k] = {{}, a->write, a->phy, a->reg, 0, 0};
    std::memcpy(sim_keys[k].nic, nic.data(), nic.size());
  }
  if (sim_record_count == sim_record_room) {
    uint32_t room = sim_record_room * 2 + SIM_REPLAY_ROOM;
    void *grown = std::realloc(sim_records, room * sizeof *sim_records);
    if (grown == nullptr) {
      return sim_fail(p, "%s", std::strerror(ENOMEM));
    }
    sim_records = static_cast<sim_replay_record *>(grown);
    sim_record_room = room;
  }
  sim_records[sim_record_count++] = {static_cast<uint32_t>(p->line), k, *a};
  sim_keys[k].last_line = static_cast<uint32_t>(p->line);
  return true;
}

// `R NIC PHY REG -> VALUE STATUS [errno=E]` or `W NIC PHY REG VALUE STATUS [errno=E]`.
static bool sim_replay_line(const sim_reader *p) {
  const std::string_view *t = p->w;
  int n = p->n;
  bool read = n >= 5 && t[0] == "R" && t[4] == "->";
  bool write = n >= 1 && t[0] == "W";
  int at = write ? 4 : 5; // the value
  if ((!read && !write) || n < at + 2 || n > at + 3 || t[1].size() > TRACE_NIC_FIELD_MAX) {
    return sim_fail(p, "not a trace line");
  }
  bool stored = write || t[at] != "-";
  std::string_view err = n == at + 3 ? t[at + 2] : "errno=0";
  int64_t v[5] = {};
  if (!sim_number(p, t[2], "PHY", 0, 0xFFFF, &v[0]) || !sim_number(p, t[3], "register", INT_MIN, INT_MAX, &v[1]) ||
      (stored && !sim_number(p, t[at], "value", 0, 0xFFFF, &v[2])) ||
      !sim_number(p, t[at + 1], "status", INT_MIN, INT_MAX, &v[3])) {
    return false;
  }
  if (err.substr(0, 6) != "errno=") {
    return sim_fail(p, "not a trace line");
  }
  if (!sim_number(p, err.substr(6), "errno", INT_MIN, INT_MAX, &v[4])) {
    return false;
  }
  trace_record a = {write, nullptr, 0, 0, 0, stored, 0, n == at + 3, 0};
  a.phy = static_cast<uint16_t>(v[0]);
  a.reg = static_cast<int>(v[1]);
  a.value = static_cast<uint16_t>(v[2]);
  a.status = static_cast<int>(v[3]);
  a.err = static_cast<int>(v[4]);
  return sim_replay_file(p, t[1], &a);
}

bool sim_replay_load(const char *path) {
  sim_replay_path = path;
  sim_reader r = {};
  r.path = path;
  while (sim_reader_next(&r)) {
    r.failed = !sim_replay_line(&r);
  }
  return !r.failed;
}

// The register's next record, or nullptr when the recording has no more.
static const sim_replay_record *sim_replay_next(int k) {
  for (uint32_t i = sim_keys[k].next; i < sim_record_count; i++) {
    if (sim_records[i].key == k) {
      sim_keys[k].next = i + 1;
      return &sim_records[i];
    }
  }
  sim_keys[k].next = sim_record_count;
  return nullptr;
}

// Says once why the run has left the recording.
static void sim_replay_diverge(const trace_record *a, const char *nic, int k, const sim_replay_record *r) {
  if (sim_diverged) {
    return;
  }
  sim_diverged = true;
  const char *what = a->write ? "write" : "read";
  unsigned phy = a->phy;
  if (k < 0) {
    std::fprintf(stderr, "libmii-sim: %s: replay diverged: %s of %s %u %d, never recorded\n", sim_replay_path, what,
                 nic, phy, a->reg);
  } else if (r == nullptr) {
    std::fprintf(stderr, "libmii-sim: %s:%u: replay diverged: %s of %s %u %d after the last one recorded\n",
                 sim_replay_path, static_cast<unsigned>(sim_keys[k].last_line), what, nic, phy, a->reg);
  } else {
    std::fprintf(stderr, "libmii-sim: %s:%u: replay diverged: write of 0x%04x to %s %u %d, recorded 0x%04x\n",
                 sim_replay_path, static_cast<unsigned>(r->line), static_cast<unsigned>(a->value), nic, phy, a->reg,
                 static_cast<unsigned>(r->access.value));
  }
}

bool sim_replay(trace_record *a) {
  char nic[TRACE_NIC_FIELD_MAX + 1];
  trace_nic(a->nic, nic);
  int k = sim_replay_key_of(nic, a->write, a->phy, a->reg);
  const sim_replay_record *r = k < 0 ? nullptr : sim_replay_next(k);
  if (r == nullptr || (a->write && r->access.value != a->value)) {
    sim_replay_diverge(a, nic, k, r);
    return false;
  }
  const char *caller_nic = a->nic;
  *a = r->access;
  a->nic = caller_nic;
  return true;
}
