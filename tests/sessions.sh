#!/bin/sh
# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# tests/run's modes `docs` and `guest`, sourced by it: the shell sessions
# of the documents.
# shellcheck shell=sh disable=SC2154 # tests/run's variables
# A session in a document is a code block (indented or fenced in Markdown,
# .EX to .EE in the man page) whose first line is "$ COMMAND": each such
# line, then what the command prints. It runs as one sh script from the
# project's top, miictl the build's on the simulated board; what it prints
# on standard output and error, each "$ COMMAND" line before the command's
# output, must be the block, byte for byte but that a line "..." stands for
# any lines. A line before the block can say where else it runs or that it
# does not (in the man page '.\" ' takes the place of "<!-- "):
#   <!-- run on the virtual board [OPTION...] -->   in the guest's shell
#                                                   (vboard/run OPTION... -s)
#   <!-- run with the virtual board -->             at the desk, where it
#                                                   starts the virtual board
#   <!-- not run: WHY -->
# tests/run docs runs the desk's sessions, tests/run guest (from the VM
# suite) the other two kinds.

# sessions FILE KINDS: the sessions of FILE to run where KINDS (a regular
# expression: desk, guest, host) say, as $w/session.N: their first line
# "FILE:LINE RUNNER...", then the block.
sessions() {
  found=$(awk -v file="$1" -v kinds="^($2)$" -v dir="$w" -v n="${found:-0}" '
    function unroff(s) { gsub(/\\-/, "-", s); gsub(/\\ /, " ", s); gsub(/\\e/, "\\", s); return s }
    function add(s) { if (lines == 0) start = FNR; block[++lines] = s }
    function flush(  i, out) {
      while (lines > 0 && block[lines] ~ /^[ \t]*$/) lines--
      if (lines > 0 && substr(block[1], 1, 2) == "$ " && to ~ kinds) {
        out = dir "/session." ++n
        print file ":" start " " runner >out
        for (i = 1; i <= lines; i++) print block[i] >out
        close(out)
      }
      lines = 0; to = "desk"; runner = "sh"; indent = ""
    }
    BEGIN { to = "desk"; runner = "sh"; man = file ~ /\.[0-9]$/ }
    /^ *(<!--|\.\\") run on the virtual board/ {
      to = "guest"; runner = $0; sub(/.*virtual board/, "", runner); sub(/ *-->.*/, "", runner)
      runner = "vboard/run" runner " -s"; next }
    /^ *(<!--|\.\\") run with the virtual board/ { to = "host"; next }
    /^ *(<!--|\.\\") not run: / { to = "none"; next }
    man && /^\.EX/ { inex = 1; next }
    man && /^\.EE/ { inex = 0; flush(); next }
    man { if (inex) add(unroff($0)); next }
    /^ *```/ { if (fence) { fence = 0; flush() } else { fence = 1; sub(/```.*/, ""); indent = $0 } next }
    fence { add(substr($0, length(indent) + 1)); next }
    indent != "" && (substr($0, 1, length(indent)) == indent || $0 ~ /^[ \t]*$/) { add(substr($0, length(indent) + 1)); next }
    indent != "" { flush() }
    prev ~ /^[ \t]*$/ && /^    / { indent = $0; sub(/[^ ].*/, "", indent); add(substr($0, length(indent) + 1)); next }
    { prev = $0 }
    END { flush(); print n }' "$1")
}

# session_script SESSION: the session as a script: each command after its
# "$ COMMAND" line, standard error with standard output.
session_script() {
  echo "exec 2>&1"
  awk -v q="'" 'NR > 1 && substr($0, 1, 2) == "$ " {
    s = $0; gsub(q, q "\\" q q, s); print "printf %s\\\\n " q s q; print substr($0, 3) }' "$1"
}

# matches EXPECTED ACTUAL: ACTUAL's lines are EXPECTED's, a line "..." of
# EXPECTED standing for any lines up to the next line it names.
matches() {
  awk 'NR == FNR { e[++m] = $0; next } { a[++n] = $0 }
    END { for (i = j = 1; i <= m; i++) {
            if (e[i] == "...") { if (i == m) exit 0; while (j <= n && a[j] != e[i + 1]) j++; continue }
            if (j > n || a[j++] != e[i]) exit 1
          }
          exit j <= n }' "$1" "$2"
}

# check_sessions: each session run by its runner against its block.
check_sessions() {
  for s in "$w"/session.*; do
    [ -f "$s" ] || continue
    title=$(head -n 1 "$s") && tail -n +2 "$s" >"$w/exp" && session_script "$s" >"$w/script.sh"
    (cd "$top" && PATH="$w/bin:$PATH" && eval "${title#* }" '"$w/script.sh"') >"$w/got" 2>"$w/err" || true
    title=${title%% *}
    matches "$w/exp" "$w/got" ||
      { fail "the session differs" && diff "$w/exp" "$w/got" | sed -n '1,30s/^/    /p' && sed 's/^/    ! /' "$w/err"; }
  done
}

docs() { sessions "$1" desk; }
guest() { sessions "$1" "guest|host"; }
