// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Saving written registers back into the board file.
#pragma once

// Rewrites the board file so that the registers marked dirty keep their
// values in the next run; a failure is reported on standard error.
void sim_save();
