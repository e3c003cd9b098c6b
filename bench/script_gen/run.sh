#!/usr/bin/env bash
# Script generation benchmark: the play script of timelines of 5,000 to
# 40,000 operations (in memory and into a file) and of groups nested 1 to 64
# deep; prints a table with the time per 1,000 operations.
#
#   bench/script_gen/run.sh [-r REPS] [-c] [-n]
#
#   -r REPS   runs per measurement, the best counts (default 5)
#   -c        CPU time of the process instead of wall time (steadier on a
#             busy machine; disk waits do not count)
#   -n        do not configure/build; use build/bench as it is
#
# bin/script_gen_bench of a native Release tree without sanitizers,
# build/bench (or $BENCH_TREE), is configured and built here.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TREE=${BENCH_TREE:-$ROOT/build/bench}
BENCH=$TREE/bin/script_gen_bench

REPS=5
BUILD=1
CPU=
while getopts ':r:cnh' opt; do
  case $opt in
    r) REPS=$OPTARG ;;
    c) CPU=-c ;;
    n) BUILD=0 ;;
    h) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: bad option -$OPTARG (see -h)" >&2; exit 2 ;;
  esac
done
[[ $REPS =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: -r needs a positive number" >&2; exit 2; }

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }

if ((BUILD)); then
  log "configure $TREE (Release)"
  mkdir -p "$(dirname "$TREE")"
  cmake -S "$ROOT" -B "$TREE" -DCMAKE_BUILD_TYPE=Release -DZV_SANITIZE=OFF -DZV_FUZZ=OFF \
    >"$TREE.configure.log" 2>&1 || { cat "$TREE.configure.log" >&2; die "configuring $TREE failed"; }
  log "build script_gen_bench in $TREE"
  out=$(cmake --build "$TREE" -j2 --target script_gen_bench 2>&1) || { printf '%s\n' "$out" >&2; die "build failed"; }
fi
[[ -x $BENCH ]] || die "$BENCH not found (run without -n)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$BENCH" -r "$REPS" $CPU "$work"
