#!/bin/sh
# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# tests/run's mode `matrix`, sourced by it: every access of an operation
# failed in turn.
# shellcheck shell=sh disable=SC2034,SC2046,SC2086,SC2154 # fields split on purpose; tests/run's variables
# The table reads start with lookup reads enabled; the dump starts with them
# disabled, and the accesses of entries 0 (which enables them), 515 and 1023
# are failed; every PHY shows every bit the report decodes. Each access fails
# with status 1 and -1 and, for reads, with and without a value left behind
# (the enable bit clear, every other bit set).
LUT_BOARD="reg 0 19 0x0923
lut 85 0x00035544 0x33221100"
DUMP_BOARD="reg 0 19 0x0123
lut 1 0x00000100 0x105e0002
lut 515 0x0001037e 0x0a211b00
lut 1023 0x000fff03 0x44332211"
PHY_BOARD=$(for p in 0 1 2 3 4 5 6 7 8; do printf 'reg %s 0 0x3100\nreg %s 1 0x786d\n' $p $p; done)

# What the run must show when the failed access ends the operation (the
# dump: ends the entry read), given the healthy run's output in $w/h.out.
stopped() {
  case $op in
  read-lut-one) est=1 && : >"$w/exp_out" && printf 'error writing register\n: Input/output error\n' >"$w/exp_err" ;;
  seek-for-mac) est=255 && echo -1 >"$w/exp_out" && : >"$w/exp_err" ;;
  phy-status) est=1 && head -n "$phy" "$w/h.out" >"$w/exp_out" && printf 'error performing operation\n: Input/output error\n' >"$w/exp_err" ;;
  read-lut-all) # entry E is reported in its place and the walk goes on at E + 1 as before
    est=0 && : >"$w/exp_err"
    awk -v e="$entry" '!done && $1 >= e { print "Error reading entry no " e; done = 1 }
                       $1 != e { print } END { if (!done) print "Error reading entry no " e }' "$w/h.out" >"$w/exp_out" ;;
  esac
  [ "$st" = "$est" ] || fail "exit status $st, expected $est"
  same "standard output" "$w/exp_out" "$w/out"
  same "standard error" "$w/exp_err" "$w/err"
  { head -n "$k" "$w/h.ids" && tail -n "+$next" "$w/h.ids"; } >"$w/exp_ids"
  same "accesses" "$w/exp_ids" "$w/ids"
}

# The run went on past the failed access, silently, making the healthy
# run's accesses to the switch's data path (the enable step and busy polls
# aside). A failed read of the enable step changes nothing else; a failed
# write may change what the entry read finds; a PHY read shows 0.
went_on() {
  same "standard error" "$w/h.err" "$w/err"
  for t in h.ids ids; do grep -v -e '^. [^ ]* 0 19 ' -e '^R [^ ]* 7 16 ' "$w/$t" >"$w/$t.path" || true; done
  same "accesses to the switch" "$w/h.ids.path" "$w/ids.path"
  case $op in
  phy-status) [ "$st" = 0 ] && cmp -s "$w/z.out" "$w/out" || fail "not shown as zero" ;;
  read-lut-all) [ "$st" = 0 ] && [ "$(grep -v "^$entry " "$w/out")" = "$(grep -v "^$entry " "$w/h.out")" ] ||
    fail "entries other than $entry changed" ;;
  *) [ "$kind" = W ] || { [ "$st" = "$h_st" ] && cmp -s "$w/h.out" "$w/out"; } || fail "not as on a healthy bus" ;;
  esac
}

matrix() {
  op=$1
  case $op in
  read-lut-one | seek-for-mac) board=$LUT_BOARD max=9 ;;
  read-lut-all) board=$DUMP_BOARD max=9217 ;;
  phy-status) board=$PHY_BOARD max=18 ;;
  esac
  args="-o $op -i 55 -m 00:11:22:33:44:55 -n eth0"
  printf '%s\n' "$board" >"$w/board"
  tool $args
  h_st=$st && cp "$w/out" "$w/h.out" && cp "$w/err" "$w/h.err" && ids "$w/trace" >"$w/h.ids"
  title="$op on a healthy bus" && [ "$(wc -l <"$w/trace")" -le "$max" ] || { fail "too many accesses" && return; }
  # Each access to fail: its line in the trace, its entry and where the next entry starts.
  awk -v dump="$([ "$op" = read-lut-all ] && echo 1)" '$1 == "R" && $3 == 0 && $4 == 19 { start[++e] = NR }
       { entry[NR] = e - 1 }
       END { for (k = 1; k <= NR; k++) if (!dump || entry[k] == 0 || entry[k] == 515 || entry[k] == 1023)
               print k, entry[k], (entry[k] + 2 in start) ? start[entry[k] + 2] : NR + 1 }' "$w/trace" >"$w/positions"
  while read -r k entry next; do
    set -- $(sed -n "${k}p" "$w/h.ids") && kind=$1 phy=$3
    if [ "$op" = phy-status ]; then
      printf '%s\nreg %s %s 0\n' "$board" "$phy" "$4" >"$w/board"
      tool $args && cp "$w/out" "$w/z.out"
    fi
    for s in 1 -1; do
      for v in "" " value 0xf7ff"; do
        [ "$kind" = R ] || [ -z "$v" ] || continue
        printf '%s\nfault access %s status %s errno EIO%s\n' "$board" "$k" "$s" "$v" >"$w/board"
        title="$op, access $k ($kind $phy $4) failing with $s$v"
        tool $args
        ids "$w/trace" >"$w/ids"
        enable_rule
        case "$op $kind$phy $s" in "phy-status "*" 1" | [rs]*" R7 "*) stopped ;; *) went_on ;; esac
      done
    done
  done <"$w/positions"
}
