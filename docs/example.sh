#!/bin/sh
# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# A board's script around miictl, which docs/virtual-board.md shows and
# runs with the demo board on the virtual board (vboard/run -s) and at the
# desk (sh), holding both to one output: the
# port behind the MAC $1 from seek-for-mac's status, named $2, the entries
# per port from a dump through awk, the link of PHYs 0-3 in a loop, a
# refused interface's error, and the port as the script's status (its last
# error line has no newline).
command -v up >/dev/null && up eth0 # the virtual board's eth0 starts down; the desk has none
miictl -o seek-for-mac -m "$1" -n eth0
port=$?
echo "$2 port, $1: $port"
miictl -o read-lut-all -n eth0 | awk '{ n[$7]++ } END { for (p in n) print "port " p ": " n[p] " entries" }' | sort -k 2n
for phy in 0 1 2 3; do
  if miictl -o phy-status -n eth0 | grep -q "^PHY $phy:.*link detected: yes"; then
    echo "PHY $phy: link"
  else
    echo "PHY $phy: no link"
  fi
done
miictl -o phy-status -n eth9 || echo "eth9: status $?"
printf 'done, port %s' "$port" >&2
exit "$port"
