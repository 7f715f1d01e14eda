// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The trace: one line per access to the file named by MII_SIM_TRACE.
#pragma once

#include "libmii/sim/board.h"

// Opens the trace, if MII_SIM_TRACE names one.
void sim_trace_open();

// Appends the line of one finished access.
void sim_trace(const sim_access *a);
