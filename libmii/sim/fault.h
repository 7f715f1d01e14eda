// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Faults: the `fault` directive of a board file, and which access a fault
// makes fail.
#pragma once

#include "libmii/sim/board.h"
#include "libmii/sim/words.h"

// Adds the fault on a `fault ...` line of `n` words to the board.
bool sim_fault_directive(const sim_parser *p, const std::string_view *t, int n);

// The first fault, in file order, that fails this access, or nullptr. Every
// fault the access matches counts it, whether or not an earlier one fires.
const sim_fault *sim_fault_for(const sim_access *a);

// Makes the access end as the fault says.
void sim_fault_apply(sim_access *a, const sim_fault *f);
