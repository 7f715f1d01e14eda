// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// Reading a board file into the board.
#pragma once

// Fills the board from the file at `path` and notes it for saving; on a
// mistake or a read error, reports it once on standard error and returns false.
bool sim_load_file(const char *path);
