#!/usr/bin/env bash
# Sets the machine up, builds, and runs an example script through korvadel (default: examples/report.lua,
# which writes a multi-sheet workbook). Files the example writes land in build/examples-out/.
#   scripts/run-example.sh [examples/NAME.lua [ARGS...]]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"

script="${1:-examples/report.lua}"
shift || true
case "$script" in /*) ;; *) script="$ROOT/$script" ;; esac
out="$ROOT/build/examples-out"
mkdir -p "$out"
cd "$out"
exec "$ROOT/build/host/korvadel" --plugin "$ROOT/build/plugin/xlsx.kvp" "$script" "$@"
