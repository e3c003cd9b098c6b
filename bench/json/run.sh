#!/usr/bin/env bash
# JSON benchmark: DESKOPS json_to_array / array_to_json against Python's json
# module (json.loads / json.dumps) on the same generated document.
#
#   bench/json/run.sh [-r REPS] [-q] [-n] [MEGABYTES...]
#
#   -r REPS     runs per measurement, the best counts (default 3)
#   -q          quick: one small document, to check that everything runs
#   -n          do not configure/build; use build/bench as it is
#   MEGABYTES   document sizes (default: 4 16). Two sizes show whether the
#               time grows linearly with the text.
#
# The DESKOPS side is bin/json_bench of a native Release tree without
# sanitizers, build/bench (or $BENCH_TREE), configured and built here;
# documents are written to its json/ directory.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TREE=${BENCH_TREE:-$ROOT/build/bench}
BENCH=$TREE/bin/json_bench
DOCS=$TREE/json

REPS=3
QUICK=0
BUILD=1
while getopts ':r:qnh' opt; do
  case $opt in
    r) REPS=$OPTARG ;;
    q) QUICK=1 ;;
    n) BUILD=0 ;;
    h) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: bad option -$OPTARG (see -h)" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[[ $REPS =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: -r needs a positive number" >&2; exit 2; }
SIZES=("$@")
((${#SIZES[@]})) || SIZES=(4 16)
((QUICK)) && SIZES=(0.5)

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }
command -v python3 >/dev/null || die "python3 not found"

if ((BUILD)); then
  # Configured every time: modules appear by their CMakeLists.txt existing.
  log "configure $TREE (Release)"
  mkdir -p "$(dirname "$TREE")"
  cmake -S "$ROOT" -B "$TREE" -DCMAKE_BUILD_TYPE=Release -DZV_SANITIZE=OFF -DZV_FUZZ=OFF \
    >"$TREE.configure.log" 2>&1 || { cat "$TREE.configure.log" >&2; die "configuring $TREE failed"; }
  log "build json_bench in $TREE"
  out=$(cmake --build "$TREE" -j2 --target json_bench 2>&1) || { printf '%s\n' "$out" >&2; die "build failed"; }
fi
[[ -x $BENCH ]] || die "$BENCH not found (run without -n)"
mkdir -p "$DOCS"

printf '\n%-8s %10s %10s | %12s %12s | %12s %12s\n' \
  MB elements "MB/s read" "json_to_array" "json.loads" "array_to_json" "json.dumps"
printf '%s\n' "------------------------------------------------------------------------------------------"
for mb in "${SIZES[@]}"; do
  doc=$DOCS/doc_$mb.json
  [[ -f $doc ]] || python3 "$ROOT/bench/json/make_document.py" "$mb" "$doc"
  read -r elements units _ t_read t_write < <("$BENCH" "$doc" "$REPS")
  read -r p_load p_dump < <(python3 "$ROOT/bench/json/reference.py" "$doc" "$REPS")
  bytes=$(stat -c %s "$doc")
  rate=$(awk -v b="$bytes" -v t="$t_read" 'BEGIN { printf "%.1f", b / 1048576 / (t > 0 ? t : 1e-9) }')
  printf '%-8s %10s %10s | %11.3fs %11.3fs | %11.3fs %11.3fs\n' \
    "$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')" "$elements" "$rate" \
    "$t_read" "$p_load" "$t_write" "$p_dump"
done
printf '(best of %d runs; DESKOPS times exclude UTF-8 decoding, as Python'"'"'s exclude reading the file)\n' "$REPS"
