#!/usr/bin/env bash
# Times the normal and the AddressSanitizer part of scripts/test.sh on a source tree: configure and build
# with scripts/setup.sh, then ctest, for BUILDROOT/build and BUILDROOT/asan. Prints wall and CPU seconds.
#   tests/mutations/suite_time.sh SRC BUILDROOT
set -uo pipefail
src="$(cd "$1" && pwd)"; root="$2"; mkdir -p "$root"; root="$(cd "$root" && pwd)"
timed() {  # label command...
  local label="$1"; shift
  /usr/bin/time -f "$label: wall %e s, cpu %U+%S s" -o "$root/time.$label" "$@"
  local rc=$?; cat "$root/time.$label"; return $rc
}
cd "$src"
timed normal-build env BUILD_DIR="$root/build" bash scripts/setup.sh >"$root/normal-build.log" 2>&1
timed normal-test ctest --test-dir "$root/build" -j 2 --timeout 900 >"$root/normal-test.log" 2>&1
tail -n 3 "$root/normal-test.log"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
timed asan-build env BUILD_DIR="$root/asan" bash scripts/setup.sh -- -DXLSX_SANITIZE=ON >"$root/asan-build.log" 2>&1
timed asan-test ctest --test-dir "$root/asan" -j 2 --timeout 900 >"$root/asan-test.log" 2>&1
tail -n 3 "$root/asan-test.log"
