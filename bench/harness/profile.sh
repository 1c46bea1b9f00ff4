#!/usr/bin/env bash
# Profiles our script benchmarks (and L-write) with perf at one size, to show which functions cost the time.
# usage: profile.sh BUILD PEERS_BIN WORK RES [R]     (called by bench/run.sh profile)
# Writes RES/profile-ID.txt for each benchmark id: the functions by inclusive time (perf's DWARF call graphs,
# which need no debug build) and by self time.
set -euo pipefail
BUILD=$1 BIN=$2 WORK=$3 RES=$4 R=${5:-100000}
SCRIPTS=$(cd "$(dirname "$0")/../scripts" && pwd)
K=$BUILD/host/korvadel
IN=$WORK/input_lxw_$R.xlsx
mkdir -p "$WORK/out" "$RES"
[ -f "$IN" ] || "$BIN/wr_lxw" "$R" normal "$IN"
profile() {
  local id=$1; shift
  perf record -q -F 499 --call-graph dwarf,16384 -o "$RES/perf-$id.data" -- "$@" >/dev/null 2>"$RES/perf-$id.err" || {
    echo "$id: perf record failed, see $RES/perf-$id.err" >&2; return 0; }
  {
    echo "== $id (R=$R): functions by inclusive time (callees included), over 2% of the samples"
    perf report -i "$RES/perf-$id.data" --stdio --children --sort symbol --percent-limit 2 -g none 2>/dev/null |
      grep -v '^#' | grep -v '^$' | grep -v '0x0000' | cut -c1-90
    echo "== $id (R=$R): functions by self time, over 1% of the samples"
    perf report -i "$RES/perf-$id.data" --stdio --no-children --sort dso,symbol --percent-limit 1 -g none 2>/dev/null |
      grep -v '^#' | grep -v '^$' | cut -c1-90
  } >"$RES/profile-$id.txt"
  head -40 "$RES/profile-$id.txt"
}
profile S-write "$K" "$SCRIPTS/s_write.lua" "$R" "$WORK/out/p_S-write.xlsx"
profile S-read "$K" "$SCRIPTS/s_read.lua" "$IN"
profile S-range "$K" "$SCRIPTS/s_range.lua" "$IN"
profile S-random "$K" "$SCRIPTS/s_random.lua" "$IN" 10000
profile S-modify "$K" "$SCRIPTS/s_modify.lua" "$IN" "$WORK/out/p_S-modify.xlsx"
[ -x "$BUILD/bench/sheet/sheet_bench" ] && profile L-write "$BUILD/bench/sheet/sheet_bench" write "$R" "$WORK/out/p_L-write.xlsx"
exit 0
