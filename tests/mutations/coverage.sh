#!/usr/bin/env bash
# Line and branch coverage of lib/, plugin/ and host/ by the whole test suite (gcovr, Debian package
# gcovr): a Debug build with --coverage in BUILD, every CTest test run, then a gcovr JSON report.
#   tests/mutations/coverage.sh SRC BUILD OUT.json [CTEST ARGS...]   (e.g. -R '^sheet\.' for some tests only)
# Compare two reports with tests/mutations/compare_coverage.py BEFORE.json AFTER.json.
set -euo pipefail
src="$(cd "$1" && pwd)"; build="$2"; out="$3"; shift 3
flags=--coverage
mkdir -p "$build"  # the logs stay in the build folder
cmake -S "$src" -B "$build" -DXLSX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS=$flags \
  -DCMAKE_CXX_FLAGS=$flags -DCMAKE_EXE_LINKER_FLAGS=$flags -DCMAKE_SHARED_LINKER_FLAGS=$flags \
  -DCMAKE_MODULE_LINKER_FLAGS=$flags >"$build/coverage-configure.log"
cmake --build "$build" -j 2 >"$build/coverage-build.log"
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j 2 --timeout 1800 "$@" >"$build/coverage-test.log" 2>&1 ||
  echo "coverage.sh: some tests failed (see $build/coverage-test.log)"
tail -n 3 "$build/coverage-test.log"
# CMake's compiler probes are built with the flags too; gcov cannot find their sources.
find "$build/CMakeFiles" -path '*CompilerId*' -name '*.gcno' -delete
gcovr --root "$src" --object-directory "$build" --filter "$src/lib/" --filter "$src/plugin/" --filter "$src/host/" \
  --exclude-throw-branches --exclude-unreachable-branches -j 2 --json "$out" --print-summary
