#!/usr/bin/env bash
# S-format beside the peers' format workload, in one run: builds our side in Release, prepares a private
# copy of the peers (libxlsxwriter compiled, node modules installed once), then runs format_bench.py,
# which alternates every tool in each rep and prints medians and ratios.
# usage: bash bench/format/run.sh            REPS=5 R=100000
#        REPS=1 R=2000 bash bench/format/run.sh   a quick check that everything runs
# Variables: REPS, R, BUILD (default build-bench/), PEERS (default the shared folder beside the repository).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
REPS=${REPS:-5}
R=${R:-100000}
BUILD=${BUILD:-$ROOT/build-bench}
PEERS=${PEERS:-$ROOT/../shared/bench-peers}
PEERS_COPY=$BUILD/peers
WORK=$BUILD/work-format
mkdir -p "$BUILD" "$PEERS_COPY/bin" "$WORK"

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DXLSX_SANITIZE=OFF -DXLSX_BUILD_TESTS=OFF -DXLSX_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j2 --target korvadel xlsx_kvp

mkdir -p "$PEERS_COPY/src"
(cd "$PEERS" && tar --exclude=node_modules -cf - .) | tar -xf - -C "$PEERS_COPY/src"
chmod -R u+w "$PEERS_COPY/src"
[ -d "$PEERS_COPY/src/node_modules/exceljs" ] || (cd "$PEERS_COPY/src" && npm ci --no-audit --no-fund)
gcc -O2 -Wall -o "$PEERS_COPY/bin/fmt_lxw" "$PEERS_COPY/src/c/fmt_lxw.c" -lxlsxwriter

exec /usr/bin/python3 "$ROOT/bench/format/format_bench.py" "$BUILD" "$PEERS_COPY/src" "$PEERS_COPY/bin" "$WORK" \
  "$REPS" "$R"
