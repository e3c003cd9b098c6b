#!/usr/bin/env bash
# Regular expression benchmark: the DESKOPS engine next to std::regex
# (ECMAScript) and PCRE2 (interpreter, no JIT) on a generated 1 MB log text,
# plus nested quantifiers on growing subjects; prints a table.
#
#   bench/regex/run.sh [-r REPS] [-s MEGABYTES] [-n]
#
#   -r REPS       runs per measurement, the best counts (default 5)
#   -s MEGABYTES  size of the text (default 1)
#   -n            do not configure/build; use build/bench as it is
#
# bin/regex_bench of a native Release tree without sanitizers, build/bench
# (or $BENCH_TREE), is configured and built here. PCRE2 comes from the
# Debian package libpcre2-dev, installed here when missing (as root).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TREE=${BENCH_TREE:-$ROOT/build/bench}
BENCH=$TREE/bin/regex_bench

REPS=5
SIZE=1
BUILD=1
while getopts ':r:s:nh' opt; do
  case $opt in
    r) REPS=$OPTARG ;;
    s) SIZE=$OPTARG ;;
    n) BUILD=0 ;;
    h) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: bad option -$OPTARG (see -h)" >&2; exit 2 ;;
  esac
done
[[ $REPS =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: -r needs a positive number" >&2; exit 2; }

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }

if ((BUILD)); then
  if ! dpkg-query -W -f='${Status}' libpcre2-dev 2>/dev/null | grep -q 'install ok installed'; then
    ((EUID == 0)) || die "PCRE2 is missing: apt-get install libpcre2-dev (as root)"
    log "installing libpcre2-dev"
    DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=600 install libpcre2-dev >/dev/null ||
      die "apt-get install libpcre2-dev failed"
  fi
  log "configure $TREE (Release)"
  mkdir -p "$(dirname "$TREE")"
  cmake -S "$ROOT" -B "$TREE" -DCMAKE_BUILD_TYPE=Release -DZV_SANITIZE=OFF -DZV_FUZZ=OFF \
    >"$TREE.configure.log" 2>&1 || { cat "$TREE.configure.log" >&2; die "configuring $TREE failed"; }
  log "build regex_bench in $TREE"
  out=$(cmake --build "$TREE" -j2 --target regex_bench 2>&1) || { printf '%s\n' "$out" >&2; die "build failed"; }
fi
[[ -x $BENCH ]] || die "$BENCH not found (run without -n)"
exec "$BENCH" -r "$REPS" -s "$SIZE"
