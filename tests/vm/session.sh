#!/bin/sh
# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# A board's script around miictl, which tests/vm/check runs with the demo
# board on the virtual board (vboard/run -s) and at the desk (sh), where
# both must print and return the same: the port behind the MAC $1 from
# seek-for-mac's status, named $2, the entries per port from a dump
# through awk, the link of PHYs 0-3 in a loop, a refused interface's error,
# and the port as the script's status (its last error line has no newline).
up eth0
miictl -o seek-for-mac -m "$1" -n eth0
port=$?
echo "$2 port, $1: $port"
miictl -o read-lut-all -n eth0 | awk '{ n[$7]++ } END { for (p in n) print "port " p ": " n[p] " entries" }' | sort
for phy in 0 1 2 3; do
  printf 'PHY %s %s\n' "$phy" "$(miictl -o phy-status -n eth0 | grep "^PHY $phy:" | cut -f4)"
done
miictl -o phy-status -n eth9 || echo "eth9: status $?"
printf 'done, port %s' "$port" >&2
exit "$port"
