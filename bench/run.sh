#!/usr/bin/env bash
# Script engine benchmarks: each ksc script in bench/ is run next to a Lua 5.4
# script doing the same work; both must print the same checksum.
#
#   bench/run.sh [-r REPS] [-c] [-q] [-n] [name...]
#
#   -r REPS   runs per script, the best time counts (default 3)
#   -c        measure CPU time (user + system) instead of wall time: steadier
#             on a busy machine, but only to the millisecond
#   -q        quick: small sizes, to check that everything still runs
#   -n        do not configure/build; use the existing build/bench tree
#   name...   only these benchmarks (fib loop strcat array_index
#             array_keyed scenario)
#
# The ksc side runs build/bench/bin/zvs_cmd from a native Release tree without
# sanitizers (configured and built here when needed). The generated scenario
# script is written to build/bench/scenario/. Set ZVS to time another
# zvs_cmd binary instead (nothing is built then), LUA to use another Lua
# (default lua5.4).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TREE=$ROOT/build/bench
ZVS=${ZVS:-}
LUA=${LUA:-lua5.4}

REPS=3
CPU=0
QUICK=0
BUILD=1
while getopts ':r:cqnh' opt; do
  case $opt in
    r) REPS=$OPTARG ;;
    c) CPU=1 ;;
    q) QUICK=1 ;;
    n) BUILD=0 ;;
    h) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: bad option -$OPTARG (see -h)" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[[ $REPS =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: -r needs a positive number" >&2; exit 2; }

# name, size argument, quick size argument. Sizes are chosen so that the Lua
# side takes roughly 0.1-0.5 s. For "scenario" the size is the number of
# plays of the generated script.
BENCHMARKS=(
  "fib          32       20"
  "loop         5000000  100000"
  "strcat       500000   20000"
  "array_index  1000000  2000"
  "array_keyed  150000   2000"
  "scenario     150      2"
)
SCENARIO_LINES=20000

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }

command -v "$LUA" >/dev/null || die "$LUA not found (apt-get install lua5.4)"
command -v python3 >/dev/null || die "python3 not found"

# --- build ---------------------------------------------------------------------

build_tree() {
  local cache=$TREE/CMakeCache.txt
  if [[ ! -f $cache ]] ||
     ! grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$cache" ||
     grep -qx 'ZV_SANITIZE:BOOL=ON' "$cache"; then
    log "configure $TREE (Release)"
    if ! cmake -S "$ROOT" -B "$TREE" -DCMAKE_BUILD_TYPE=Release \
           -DZV_SANITIZE=OFF -DZV_FUZZ=OFF >"$TREE.configure.log" 2>&1; then
      cat "$TREE.configure.log" >&2
      die "configuring $TREE failed"
    fi
  fi
  log "build zvs_cmd in $TREE"
  local out
  if ! out=$(cmake --build "$TREE" -j2 --target zvs_cmd 2>&1); then
    printf '%s\n' "$out" >&2
    die "building zvs_cmd failed (-n runs the binary already in $TREE)"
  fi
}

if [[ -n $ZVS ]]; then
  [[ -x $ZVS ]] || die "ZVS=$ZVS is not an executable"
  ZVS=$(cd "$(dirname "$ZVS")" && pwd)/$(basename "$ZVS")
else
  ZVS=$TREE/bin/zvs_cmd
  if ((BUILD)); then
    mkdir -p "$ROOT/build"
    build_tree
  fi
  [[ -x $ZVS ]] || die "$ZVS not found (run without -n)"
fi

# --- timing ----------------------------------------------------------------------

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# The clock readings set CLOCK, in microseconds: they must run in the shell
# that starts the benchmark, since `times` reports that shell's children.
#
# Wall time: EPOCHREALTIME is "sec.usec" (the separator follows the locale).
wall_clock() {
  local t=${EPOCHREALTIME/[.,]/}
  CLOCK=$((10#$t))
}

# CPU time (user + system) of the finished children; `times` writes through
# a file so that it runs in this shell.
TIMES=$TMP/times
ms_of() {  # "1m2.345s" -> milliseconds
  [[ $1 =~ ^([0-9]+)m([0-9]+)[.,]([0-9]+)s$ ]] || die "cannot read times: $1"
  echo $(((10#${BASH_REMATCH[1]} * 60 + 10#${BASH_REMATCH[2]}) * 1000 + 10#${BASH_REMATCH[3]}))
}
cpu_clock() {
  times >"$TIMES"
  local u s
  { read -r _ _; read -r u s; } <"$TIMES"
  CLOCK=$((($(ms_of "$u") + $(ms_of "$s")) * 1000))
}

clock() {
  if ((CPU)); then cpu_clock; else wall_clock; fi
}

# best_of <output file> <command...>: prints the best time (us) of REPS
# runs; the output of the last run is kept.
best_of() {
  local out=$1 best=-1 i t0 dt
  shift
  for ((i = 0; i < REPS; i++)); do
    clock
    t0=$CLOCK
    "$@" </dev/null >"$out" 2>&1 || true
    clock
    dt=$((CLOCK - t0))
    ((best < 0 || dt < best)) && best=$dt
  done
  echo "$best"
}

secs() { awk -v us="$1" 'BEGIN { printf "%.3f", us / 1e6 }'; }

# --- run -------------------------------------------------------------------------

SELECTED=("$@")
want() {
  ((${#SELECTED[@]} == 0)) && return 0
  local w
  for w in "${SELECTED[@]}"; do [[ $w == "$1" ]] && return 0; done
  return 1
}
for w in "${SELECTED[@]}"; do
  found=0
  for b in "${BENCHMARKS[@]}"; do
    read -r name _ <<<"$b"
    [[ $name == "$w" ]] && found=1
  done
  ((found)) || die "unknown benchmark '$w'"
done

# Scripts are named by paths relative to the checkout: zvs_cmd takes a first
# argument that starts with '/' for an option word, as on Windows.
cd "$ROOT"

ROWS=()
FAILED=0
for b in "${BENCHMARKS[@]}"; do
  read -r name full quick <<<"$b"
  want "$name" || continue
  size=$full
  ((QUICK)) && size=$quick

  if [[ $name == scenario ]]; then
    dir=build/bench/scenario
    lines=$SCENARIO_LINES
    ((QUICK)) && lines=2000
    python3 bench/gen_scenario.py --lines "$lines" --loops "$size" "$dir"
    ksc=("$ZVS" "$dir/scenario.ksc")
    lua=("$LUA" "$dir/scenario.lua")
    label="$lines lines x $size"
  else
    ksc=("$ZVS" "bench/$name.ksc" "$size")
    lua=("$LUA" "bench/$name.lua" "$size")
    label=$size
  fi

  log "$name ($label)"
  tk=$(best_of "$TMP/ksc.out" "${ksc[@]}")
  tl=$(best_of "$TMP/lua.out" "${lua[@]}")
  # ksc prints with CR LF on Windows; compare the text only.
  ck=$(tr -d '\r' <"$TMP/ksc.out")
  cl=$(tr -d '\r' <"$TMP/lua.out")
  if [[ $ck != "$cl" || -z $ck ]]; then
    printf 'checksum mismatch in %s:\n  ksc: %s\n  lua: %s\n' \
      "$name" "$ck" "$cl" >&2
    FAILED=1
    status=MISMATCH
  else
    status=$ck
  fi
  ROWS+=("$name|$label|$tk|$tl|$status")
done

((${#ROWS[@]})) || die "nothing to run"

# --- table -----------------------------------------------------------------------

printf '\n%-12s %-20s %10s %10s %10s  %s\n' \
  benchmark size "ksc s" "Lua s" ksc/Lua checksum
printf '%s\n' "--------------------------------------------------------------------------------"
ratios=()
for r in "${ROWS[@]}"; do
  IFS='|' read -r name label tk tl status <<<"$r"
  # Nothing measures below the clock's resolution.
  ((CPU)) && res=1000 || res=1
  ((tk >= res)) || tk=$res
  ((tl >= res)) || tl=$res
  ratio=$(awk -v a="$tk" -v b="$tl" 'BEGIN { printf "%.1f", a / b }')
  ratios+=("$tk/$tl")
  printf '%-12s %-20s %10s %10s %10s  %s\n' \
    "$name" "$label" "$(secs "$tk")" "$(secs "$tl")" "$ratio" "$status"
done
geo=$(printf '%s\n' "${ratios[@]}" | awk -F/ '
  { s += log($1 / $2); n++ }
  END { printf "%.1f", exp(s / n) }')
printf '%s\n' "--------------------------------------------------------------------------------"
printf '%-12s %-20s %10s %10s %10s\n' "geomean" "" "" "" "$geo"
if ((CPU)); then what="CPU time (user + system)"; else what="wall time"; fi
printf '(best of %d runs, %s including process start)\n' "$REPS" "$what"

exit "$FAILED"
