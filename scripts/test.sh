#!/usr/bin/env bash
# Builds and runs the whole test suite four times: a normal build in build/, an AddressSanitizer +
# UndefinedBehaviorSanitizer build in build-asan/, a 32-bit x86 build in build-i386/ and a 32-bit big-endian
# PowerPC build in build-ppc32/ (run under emulation; XLSX_TEST_PPC32=0 leaves it out). Exits non-zero when
# any build or test fails.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
bash scripts/setup.sh --packages-only
. scripts/test-summary.sh

jobs="$(nproc)"
status=0
builds=(build build-asan build-i386)
[ "${XLSX_TEST_PPC32:-1}" != 0 ] && builds+=(build-ppc32)
# Each build writes its counts into test-summary.txt; one left from an earlier run must not be reported.
for dir in "${builds[@]}"; do rm -f "$ROOT/$dir/test-summary.txt"; done

run_suite() {
  local dir="$1" rc
  shift
  echo "=== $dir: configure and build"
  if ! BUILD_DIR="$dir" bash scripts/setup.sh -- "$@"; then
    mkdir -p "$ROOT/$dir"
    echo "$dir: the build failed, no tests ran" >"$ROOT/$dir/test-summary.txt"
    return 1
  fi
  echo "=== $dir: tests"
  ctest --test-dir "$ROOT/$dir" -j "$jobs" --output-on-failure --timeout 600 2>&1 | tee "$ROOT/$dir/test-output.log"
  rc=${PIPESTATUS[0]}
  test_summary "$dir" "$ROOT/$dir" "$ROOT/$dir/test-output.log"
  return "$rc"
}

run_suite build || status=1

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build-asan -DXLSX_SANITIZE=ON || status=1

# The same suite built for 32-bit x86 (long and pointers of 4 bytes, as on the product's target), run natively
# where the kernel runs 32-bit x86 programs and under qemu-i386 where it does not.
unset ASAN_OPTIONS UBSAN_OPTIONS
echo "=== build-i386: cross build and tests"
bash scripts/port-test.sh i386 || status=1

# The same suite built for 32-bit big-endian PowerPC, the product's processor family, and run under qemu-ppc.
if [ "${XLSX_TEST_PPC32:-1}" != 0 ]; then
  echo "=== build-ppc32: cross build and tests under emulation"
  bash scripts/port-test.sh ppc32 || status=1
fi

# Every fuzz target for a few seconds on its seeds under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang build included, about 3-4 minutes); a crash, leak or sanitizer report fails the test command.
# Needs clang++ with the libFuzzer and sanitizer runtimes (Debian: clang, libclang-rt-14-dev, which
# setup.sh installs); XLSX_TEST_FUZZ=0 leaves it out.
fuzz_toolchain_present() {
  command -v clang++ > /dev/null || return 1
  local probe ok=0
  probe="$(mktemp -d)"
  printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
    'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' > "$probe/probe.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" > /dev/null 2>&1 || ok=1
  rm -rf "$probe"
  return "$ok"
}
fuzz_summary="build-fuzz: not run (XLSX_TEST_FUZZ=0)"
if [ "${XLSX_TEST_FUZZ:-1}" != 0 ]; then
  if fuzz_toolchain_present; then
    echo "=== build-fuzz: fuzz targets, smoke run"
    fuzz_start=$SECONDS
    if FUZZ_BUILD_DIR=build-fuzz bash scripts/fuzz.sh --smoke; then
      fuzz_summary="build-fuzz: every target ran its smoke run without a finding ($((SECONDS - fuzz_start)) s)"
    else
      fuzz_summary="build-fuzz: FAILED (a finding or a build failure, see above)"
      status=1
    fi
  else
    # setup.sh installs clang and its runtimes, so a fresh machine never lands here: fail, do not skip.
    fuzz_summary="build-fuzz: FAILED: clang++ cannot build a libFuzzer target with the sanitizers"
    status=1
  fi
fi

echo
echo "=== test.sh: results per build"
for dir in "${builds[@]}"; do
  if [ -f "$ROOT/$dir/test-summary.txt" ]; then cat "$ROOT/$dir/test-summary.txt"; else echo "$dir: no results"; fi
done
echo "$fuzz_summary"
if ((status)); then
  echo "test.sh: FAILED"
else
  echo "test.sh: all tests passed in build/, build-asan/, build-i386/ and build-ppc32/"
fi
exit "$status"
