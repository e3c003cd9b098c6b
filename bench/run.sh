#!/usr/bin/env bash
# Script engine benchmarks: each ksc script in bench/ is run next to a Lua 5.4
# and a Python 3 script doing the same work; all must print the same
# checksum. The table shows the times, the ratios and the peak memory of the
# ksc run.
#
#   bench/run.sh [-r REPS] [-c] [-q] [-n] [name...]
#
#   -r REPS   runs per script, the best time counts (default 3)
#   -c        measure CPU time (user + system) instead of wall time: steadier
#             on a busy machine, but only to the millisecond
#   -q        quick: small sizes, to check that everything still runs
#   -n        do not configure/build; use the existing build/bench tree
#   name...   only these benchmarks (fib calls loop strcat array_index
#             array_keyed records grid sort scenario)
#
# The ksc side runs build/bench/bin/zvs_cmd from a native Release tree without
# sanitizers (configured and built here when needed). The generated scenario
# script is written to build/bench/scenario/. Set ZVS to time another
# zvs_cmd binary instead (nothing is built then), LUA to use another Lua
# (default lua5.4), PYTHON another Python (default python3).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TREE=$ROOT/build/bench
ZVS=${ZVS:-}
LUA=${LUA:-lua5.4}
PYTHON=${PYTHON:-python3}

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
    h) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
  "calls        3000000  20000"
  "loop         5000000  100000"
  "strcat       500000   20000"
  "array_index  1000000  2000"
  "array_keyed  150000   2000"
  "records      600000   2000"
  "grid         400      2"
  "sort         400000   2000"
  "scenario     150      2"
)
SCENARIO_LINES=20000

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }

command -v "$LUA" >/dev/null || die "$LUA not found (apt-get install lua5.4)"
command -v "$PYTHON" >/dev/null || die "$PYTHON not found"
[[ -x /usr/bin/time ]] || die "/usr/bin/time not found (apt-get install time)"

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
# runs; the output of the last run is kept. The peak memory (KB) of the
# runs goes to $TMP/peak.
best_of() {
  local out=$1 best=-1 i t0 dt peak=0 kb
  shift
  for ((i = 0; i < REPS; i++)); do
    clock
    t0=$CLOCK
    /usr/bin/time -f %M -o "$TMP/rss" "$@" </dev/null >"$out" 2>&1 || true
    clock
    dt=$((CLOCK - t0))
    ((best < 0 || dt < best)) && best=$dt
    kb=$(tail -n 1 "$TMP/rss")
    [[ $kb =~ ^[0-9]+$ ]] && ((kb > peak)) && peak=$kb
  done
  echo "$peak" >"$TMP/peak"
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
    "$PYTHON" bench/gen_scenario.py --lines "$lines" --loops "$size" "$dir"
    ksc=("$ZVS" "$dir/scenario.ksc")
    lua=("$LUA" "$dir/scenario.lua")
    py=("$PYTHON" "$dir/scenario.py")
    label="$lines lines x $size"
  else
    ksc=("$ZVS" "bench/$name.ksc" "$size")
    lua=("$LUA" "bench/$name.lua" "$size")
    py=("$PYTHON" "bench/$name.py" "$size")
    label=$size
  fi

  log "$name ($label)"
  tk=$(best_of "$TMP/ksc.out" "${ksc[@]}")
  mk=$(cat "$TMP/peak")
  tl=$(best_of "$TMP/lua.out" "${lua[@]}")
  tp=$(best_of "$TMP/py.out" "${py[@]}")
  # ksc prints with CR LF on Windows; compare the text only.
  ck=$(tr -d '\r' <"$TMP/ksc.out")
  cl=$(tr -d '\r' <"$TMP/lua.out")
  cp=$(tr -d '\r' <"$TMP/py.out")
  if [[ $ck != "$cl" || $ck != "$cp" || -z $ck ]]; then
    printf 'checksum mismatch in %s:\n  ksc: %s\n  lua: %s\n  python: %s\n' \
      "$name" "$ck" "$cl" "$cp" >&2
    FAILED=1
    status=MISMATCH
  else
    status=$ck
  fi
  ROWS+=("$name|$label|$tk|$tl|$tp|$mk|$status")
done

((${#ROWS[@]})) || die "nothing to run"

# --- table -----------------------------------------------------------------------

printf '\n%-12s %-20s %8s %8s %8s %8s %8s %8s  %s\n' \
  benchmark size "ksc s" "Lua s" "Py s" ksc/Lua ksc/Py "ksc MB" checksum
line=$(printf '%*s' 104 '' | tr ' ' -)
printf '%s\n' "$line"
lua_ratios=()
py_ratios=()
for r in "${ROWS[@]}"; do
  IFS='|' read -r name label tk tl tp mk status <<<"$r"
  # Nothing measures below the clock's resolution.
  ((CPU)) && res=1000 || res=1
  ((tk >= res)) || tk=$res
  ((tl >= res)) || tl=$res
  ((tp >= res)) || tp=$res
  rl=$(awk -v a="$tk" -v b="$tl" 'BEGIN { printf "%.2f", a / b }')
  rp=$(awk -v a="$tk" -v b="$tp" 'BEGIN { printf "%.2f", a / b }')
  lua_ratios+=("$tk/$tl")
  py_ratios+=("$tk/$tp")
  printf '%-12s %-20s %8s %8s %8s %8s %8s %8s  %s\n' \
    "$name" "$label" "$(secs "$tk")" "$(secs "$tl")" "$(secs "$tp")" "$rl" "$rp" \
    "$(awk -v k="$mk" 'BEGIN { printf "%.1f", k / 1024 }')" "$status"
done
geomean() { awk -F/ '{ s += log($1 / $2); n++ } END { printf "%.2f", exp(s / n) }'; }
gl=$(printf '%s\n' "${lua_ratios[@]}" | geomean)
gp=$(printf '%s\n' "${py_ratios[@]}" | geomean)
printf '%s\n' "$line"
printf '%-12s %-20s %8s %8s %8s %8s %8s\n' "geomean" "" "" "" "" "$gl" "$gp"
if ((CPU)); then what="CPU time (user + system)"; else what="wall time"; fi
printf '(best of %d runs, %s including process start; ksc MB: peak resident memory)\n' "$REPS" "$what"

exit "$FAILED"
