#!/usr/bin/env bash
# Builds our side in Release and runs our benchmarks and the peers' in one run; prints the table.
# usage: bash bench/run.sh             REPS=3 SIZES="10000 100000" (about 20 min on 2 cores)
#        bash bench/run.sh smoke       REPS=1 SIZES="500 2000", a quick check that everything runs
#        bash bench/run.sh profile     perf profiles of our script benchmarks at the largest size
# Variables: REPS, SIZES, BUILD (default build-bench/ in the repository), RES (results folder),
# PEERS (the peers' folder, default the shared one beside the repository).
# Results: $RES/summary.md (the table), $RES/raw.jsonl (every process run); profiles in $RES/profile-*.txt.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
MODE=${1:-full}
case "$MODE" in
  full) REPS=${REPS:-3}; SIZES=${SIZES:-"10000 100000"} ;;
  smoke) REPS=${REPS:-1}; SIZES=${SIZES:-"500 2000"} ;;
  profile) SIZES=${SIZES:-"100000"} ;;
  *) echo "usage: bash bench/run.sh [full|smoke|profile]" >&2; exit 2 ;;
esac
BUILD=${BUILD:-$ROOT/build-bench}
PEERS=${PEERS:-$ROOT/../shared/bench-peers}
RES=${RES:-$BUILD/results-$MODE}
WORK=$BUILD/work
PEERS_COPY=$BUILD/peers
mkdir -p "$BUILD" "$RES" "$WORK" "$PEERS_COPY/bin"

# Our side: Release, -O2, no sanitizers, no tests, its own build folder.
# Configured on every run, so that benchmark areas added since the last run are picked up.
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DXLSX_SANITIZE=OFF -DXLSX_BUILD_TESTS=OFF -DXLSX_BUILD_BENCH=ON >/dev/null
targets="korvadel xlsx_kvp"
[ -f "$ROOT/bench/sheet/CMakeLists.txt" ] && targets="$targets sheet_bench sheet_memory"
[ -f "$ROOT/bench/floors/CMakeLists.txt" ] && targets="$targets floors"
# shellcheck disable=SC2086
cmake --build "$BUILD" -j2 --target $targets
# The layer benchmarks of other areas are reported beside the table when they build.
for t in xml_bench package_bench; do
  area=${t%_bench}
  [ -f "$ROOT/bench/$area/CMakeLists.txt" ] || continue
  cmake --build "$BUILD" -j2 --target "$t" >"$BUILD/build-$t.log" 2>&1 ||
    echo "note: $t does not build now (see $BUILD/build-$t.log); its figures are left out"
done

# The peers: their folder is only read; a private copy gets the node modules and is run from there.
pkgs="libxlsxwriter-dev python3-xlsxwriter python3-openpyxl zlib1g-dev libdeflate-dev time gcc"
[ "$MODE" = profile ] && pkgs="$pkgs linux-perf"
installed() { dpkg-query -W -f='${db:Status-Abbrev}\n' "$1" 2>/dev/null | grep -q '^ii'; }
missing=$(for p in $pkgs; do installed "$p" || echo "$p"; done)
if [ -n "$missing" ]; then
  echo "installing: $missing"
  # shellcheck disable=SC2086
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
    --no-install-recommends $missing
fi
mkdir -p "$PEERS_COPY/src"
(cd "$PEERS" && tar --exclude=node_modules -cf - .) | tar -xf - -C "$PEERS_COPY/src"
chmod -R u+w "$PEERS_COPY/src"
command -v node >/dev/null && command -v npm >/dev/null || { echo "node and npm are needed" >&2; exit 1; }
[ -d "$PEERS_COPY/src/node_modules/xlsx" ] && [ -d "$PEERS_COPY/src/node_modules/exceljs" ] ||
  (cd "$PEERS_COPY/src" && npm ci --no-audit --no-fund)
gcc -O2 -Wall -o "$PEERS_COPY/bin/wr_lxw" "$PEERS_COPY/src/c/wr_lxw.c" -lxlsxwriter
gcc -O2 -Wall -o "$PEERS_COPY/bin/limits" "$PEERS_COPY/src/c/limits.c" -lz -ldeflate
ver() { dpkg-query -W -f='${Version}\n' "$1" | head -1; }
echo "versions: libxlsxwriter $(ver libxlsxwriter-dev), XlsxWriter $(ver python3-xlsxwriter)," \
  "openpyxl $(ver python3-openpyxl), zlib $(ver zlib1g-dev), libdeflate $(ver libdeflate-dev)," \
  "node $(node --version), SheetJS $(cd "$PEERS_COPY/src" && node -p 'require("xlsx/package.json").version')," \
  "exceljs $(cd "$PEERS_COPY/src" && node -p 'require("exceljs/package.json").version')," \
  "python $(/usr/bin/python3 -V 2>&1), $(git -C "$ROOT" log -1 --format='ours at %h')" | tee "$PEERS_COPY/versions.txt"

if [ "$MODE" = profile ]; then
  exec bash "$ROOT/bench/harness/profile.sh" "$BUILD" "$PEERS_COPY/bin" "$WORK" "$RES" $SIZES
fi
# shellcheck disable=SC2086
/usr/bin/python3 "$ROOT/bench/harness/bench_harness.py" "$BUILD" "$PEERS_COPY/src" "$PEERS_COPY/bin" "$WORK" "$RES" \
  "$REPS" $SIZES
