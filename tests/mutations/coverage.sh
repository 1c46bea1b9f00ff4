#!/usr/bin/env bash
# Line and branch coverage of lib/, plugin/ and host/ by the whole test suite (gcovr, Debian package
# gcovr): a Debug build with --coverage in BUILD, every CTest test run, then a gcovr JSON report.
#   tests/mutations/coverage.sh SRC BUILD OUT.json [CTEST ARGS...]   (e.g. -R '^sheet\.' for some tests only)
# Compare two reports with tests/mutations/compare_coverage.py BEFORE.json AFTER.json.
#   tests/mutations/coverage.sh --each SRC BUILD OUTDIR
# runs every test alone instead, its counts in OUTDIR/N (N the test's CTest number) as gcov JSON, for
# tests/mutations/unique_coverage.py OUTDIR SRC: what each test covers that no other test does.
set -euo pipefail
each=0; [ "$1" = --each ] && { each=1; shift; }
src="$(cd "$1" && pwd)"; build="$2"; out="$3"; shift 3
flags=--coverage
mkdir -p "$build"  # the logs stay in the build folder
cmake -S "$src" -B "$build" -DXLSX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS=$flags \
  -DCMAKE_CXX_FLAGS=$flags -DCMAKE_EXE_LINKER_FLAGS=$flags -DCMAKE_SHARED_LINKER_FLAGS=$flags \
  -DCMAKE_MODULE_LINKER_FLAGS=$flags >"$build/coverage-configure.log"
cmake --build "$build" -j 2 >"$build/coverage-build.log"
find "$build" -name '*.gcda' -delete
if [ "$each" = 1 ]; then
  # Each test writes its counts under a folder of its own (GCOV_PREFIX); gcov reads them beside links to the
  # build's notes files. A test that needs others first (fixtures, DEPENDS) runs with them or fails:
  # unique_coverage.py reports such tests as not measured alone.
  one_test() {
    local dir="$out/$1" data
    rm -rf "$dir" && mkdir -p "$dir/json"
    GCOV_PREFIX="$dir/tree" GCOV_PREFIX_STRIP=0 ctest --test-dir "$build" -I "$1,$1" --timeout 1800 \
      >"$dir/ctest.log" 2>&1
    echo $? >"$dir/status"
    [ -d "$dir/tree" ] || return 0  # a test of another program's output reaches no product code
    find "$dir/tree" -name '*.gcda' | while read -r data; do
      notes="${data#"$dir/tree"}" && ln -sf "${notes%.gcda}.gcno" "${data%.gcda}.gcno"
    done
    (cd "$dir/json" && find ../tree -name '*.gcda' -print0 | xargs -0 -r -n 40 gcov -j -b -p >/dev/null 2>&1) || true
  }
  mkdir -p "$out" && out="$(cd "$out" && pwd)" && build="$(cd "$build" && pwd)"
  export -f one_test; export build out
  ctest --test-dir "$build" -N | sed -n 's/^ *Test *#\([0-9]*\):.*/\1/p' | xargs -P 2 -I{} bash -c 'one_test {}'
  exit 0
fi
ctest --test-dir "$build" -j 2 --timeout 1800 "$@" >"$build/coverage-test.log" 2>&1 ||
  echo "coverage.sh: some tests failed (see $build/coverage-test.log)"
tail -n 3 "$build/coverage-test.log"
# CMake's compiler probes are built with the flags too; gcov cannot find their sources.
find "$build/CMakeFiles" -path '*CompilerId*' -name '*.gcno' -delete
gcovr --root "$src" --object-directory "$build" --filter "$src/lib/" --filter "$src/plugin/" --filter "$src/host/" \
  --exclude-throw-branches --exclude-unreachable-branches -j 2 --json "$out" --print-summary
