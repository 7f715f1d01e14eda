// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
#include "cli/cli.h"

int main(int argc, char **argv) { return cli_main(argc, argv); }
