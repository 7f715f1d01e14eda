// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Replay: the simulated board answering from a recorded trace
// (MII_SIM_REPLAY) instead of a board.
#pragma once

#include "libmii/sim/board.h"

// Reads the recording at `path`; on a mistake reports it once on standard
// error and returns false.
bool sim_replay_load(const char *path);

// Answers the access as the recording did, or, where the run has gone
// where the recording has not, fails it with EIO.
void sim_replay(sim_access *a);
