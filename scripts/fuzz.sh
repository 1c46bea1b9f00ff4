#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, writes the seed
# corpora from the test files, and runs every target (or the ones named) one after the other, one fuzzing
# process at a time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   each target for SECONDS (default 600); the work corpora in
#                                           fuzz/corpus-work/<area> grow from run to run
#   scripts/fuzz.sh --smoke                 every target for 12 seconds on a fresh copy of its seeds
#                                           (about a minute in all, besides the build); for CI. Its seeds,
#                                           logs and findings stay in BUILD/smoke/, so a smoke run never
#                                           touches the work corpora or logs of a long run going on beside it
#
# Targets: document_fuzzer workbook_parts_fuzzer cellref_fuzzer commands_fuzzer xml_parse_fuzzer. A crash, leak, timeout or
# sanitizer report stops that target, keeps the input in fuzz/corpus-work/artifacts/<target>/ (smoke:
# BUILD/smoke/artifacts/<target>/) and makes the script exit 1 after the others have run. Each run
# appends a line to fuzz/corpus-work/runs.log: date, target, seconds, executions, coverage (edges),
# features, corpus size, result.
# Environment: FUZZ_BUILD_DIR (default build-fuzz-all).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
BUILD="${FUZZ_BUILD_DIR:-build-fuzz-all}"
WORK="$ROOT/fuzz/corpus-work"
ALL_TARGETS=(document_fuzzer workbook_parts_fuzzer cellref_fuzzer commands_fuzzer xml_parse_fuzzer)

smoke=0
seconds=600
if [[ "${1:-}" == "--smoke" ]]; then
  smoke=1
  seconds=12
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
targets=("$@")
((${#targets[@]})) || targets=("${ALL_TARGETS[@]}")

for tool in clang clang++ python3; do
  command -v "$tool" > /dev/null || { echo "fuzz.sh: $tool is needed (Debian: clang, libclang-rt-14-dev)" >&2; exit 2; }
done

echo "=== fuzz.sh: configure and build ${targets[*]} in $BUILD"
mkdir -p "$BUILD"
# A folder left configured from another source tree would make CMake stop: it is configured afresh.
if [[ -f "$BUILD/CMakeCache.txt" ]] &&
   ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$ROOT" "$BUILD/CMakeCache.txt"; then
  echo "fuzz.sh: $BUILD was configured from another source tree; configuring it afresh"
  rm -rf "$BUILD/CMakeCache.txt" "$BUILD/CMakeFiles"
fi
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DXLSX_BUILD_FUZZ=ON -DXLSX_BUILD_TESTS=OFF \
  -DXLSX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$BUILD/fuzz-configure.log" 2>&1 ||
  { cat "$BUILD/fuzz-configure.log"; exit 2; }
cmake --build "$BUILD" --target "${targets[@]}" -j "$(( $(nproc) < 2 ? $(nproc) : 2 ))"

# A smoke run keeps everything it writes in the build folder: a long run may be using the work folder.
if ((smoke)); then
  case "$BUILD" in /*) WORK="$BUILD/smoke" ;; *) WORK="$ROOT/$BUILD/smoke" ;; esac
  rm -rf "$WORK"
fi
mkdir -p "$WORK"
python3 fuzz/make_seeds.py "$WORK/seeds" "$BUILD/lib/package/template.xlsx"

# Per target: binary, area folder, seed folders, extra options.
target_binary() {
  case "$1" in
    document_fuzzer) echo "$BUILD/fuzz/document/document_fuzzer" ;;
    workbook_parts_fuzzer) echo "$BUILD/fuzz/document/workbook_parts_fuzzer" ;;
    cellref_fuzzer) echo "$BUILD/fuzz/cellref/cellref_fuzzer" ;;
    commands_fuzzer) echo "$BUILD/fuzz/commands/commands_fuzzer" ;;
    xml_parse_fuzzer) echo "$BUILD/fuzz/xml/xml_parse_fuzzer" ;;
  esac
}
target_area() { [[ "$1" == workbook_parts_fuzzer ]] && echo parts || echo "${1%%_*}"; }
target_options() {
  case "$1" in
    document_fuzzer) echo "-max_len=262144 -rss_limit_mb=4096 -timeout=60 -dict=fuzz/document/document.dict" ;;
    workbook_parts_fuzzer) echo "-max_len=65536 -rss_limit_mb=4096 -timeout=60 -dict=fuzz/document/document.dict" ;;
    cellref_fuzzer) echo "-max_len=64 -dict=fuzz/cellref/cellref.dict" ;;
    commands_fuzzer) echo "-max_len=4096 -timeout=30" ;;
    xml_parse_fuzzer) echo "-max_len=16384 -dict=fuzz/xml/xml.dict" ;;
  esac
}
target_seeds() {
  case "$1" in
    xml_parse_fuzzer) echo "fuzz/xml/corpus" ;;
    *) echo "$WORK/seeds/$(target_area "$1")" ;;
  esac
}

status=0
summary=()
for target in "${targets[@]}"; do
  binary="$(target_binary "$target")"
  area="$(target_area "$target")"
  [[ -x "$binary" ]] || { echo "fuzz.sh: no target $target" >&2; status=1; continue; }
  artifacts="$WORK/artifacts/$target"
  mkdir -p "$artifacts"
  if ((smoke)); then
    corpus="$WORK/corpus/$target"
    mkdir -p "$corpus"
  else
    corpus="$WORK/$area"
    mkdir -p "$corpus"
  fi
  log="$WORK/$target.log"
  echo "=== fuzz.sh: $target for ${seconds}s (log $log)"
  # shellcheck disable=SC2046
  if "$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
       $(target_options "$target") "$corpus" "$(target_seeds "$target")" > "$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    grep -E "ERROR|runtime error|SUMMARY|finding|Test unit written" "$log" | head -20 || true
  fi
  execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)"
  cov="$(grep -Eo '(DONE|pulse|NEW|REDUCE|INITED) +cov: [0-9]+' "$log" | tail -1 | grep -Eo '[0-9]+$' || echo 0)"
  ft="$(grep -Eo 'ft: [0-9]+' "$log" | tail -1 | grep -Eo '[0-9]+$' || echo 0)"
  size="$(ls "$corpus" | wc -l)"
  line="$(date -u +%FT%TZ) $target ${seconds}s execs=$execs cov=$cov ft=$ft corpus=$size $result"
  ((smoke)) && rm -rf "$corpus" || echo "$line" >> "$WORK/runs.log"
  summary+=("$line")
done

echo "=== fuzz.sh: summary"
printf '%s\n' "${summary[@]}"
exit "$status"
