#!/usr/bin/env bash
# Builds the library, plugin, host and tests for a 32-bit target and runs the whole test suite there:
#   ppc32  32-bit big-endian PowerPC, cross-compiled, run under qemu-ppc user-mode emulation
#   i386   32-bit x86, cross-compiled, run natively where the kernel runs 32-bit x86 programs and under
#          qemu-i386 user-mode emulation where it does not (the probe decides, and says which)
#   all    both, one after the other
# On a fresh Debian 12 machine (as root) it first installs the cross compilers and emulator from Debian and
# builds zlib, libzip, libdeflate, Lua 5.4 and GoogleTest from Debian's sources into build-TARGET/sysroot.
# Every step is timed; a step whose result is present (packages, sysroot) is reused.
#
# Usage: scripts/port-test.sh [options] ppc32|i386|all
#   --no-install   do not touch Debian packages (fail if something is missing)
#   --rebuild      drop the target's build folder, sysroot included, and start over
#   --keep-going   build every target that compiles and run the tests even after a build failure
#                  (the exit status still reports the failure)
#   --deps-only    stop after the sysroot
# Environment: PORT_JOBS (parallel jobs, default 2), PORT_CTEST_ARGS (extra ctest arguments, e.g. "-R xml"),
#   PORT_BUILD_TARGETS (build only these CMake targets, e.g. "base_tests xml_tests"), PORT_DEBUG=1 (with -g),
#   PORT_BUILD_ROOT (folder for build-TARGET, default the repository root), PORT_I386_RUN=native|qemu (run the
#   i386 programs that way instead of letting the probe decide).
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/cross/common.sh"
. "$(dirname "${BASH_SOURCE[0]}")/test-summary.sh"

install=1 rebuild=0 keep_going=0 deps_only=0 targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-install) install=0 ;;
    --rebuild) rebuild=1 ;;
    --keep-going) keep_going=1 ;;
    --deps-only) deps_only=1 ;;
    ppc32 | i386) targets+=("$1") ;;
    all) targets+=(ppc32 i386) ;;
    -h | --help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) port_die "unknown argument '$1' (see --help)" ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || port_die "name a target: ppc32, i386 or all (see --help)"

TIMES=()
FAILED=()
# CPU seconds (user + system) used so far by the finished children of this shell, into CPU_NOW: a figure
# that, unlike the wall-clock time, does not depend on what else the machine is doing. `times` must run in
# this shell (in a command substitution it would only see the subshell's children).
CPU_FILE=$(mktemp)
trap 'rm -f "$CPU_FILE"' EXIT
cpu_now() {
  times >"$CPU_FILE"
  CPU_NOW=$(awk 'NR == 2 { t = 0; for (i = 1; i <= 2; i++) { split($i, a, /[ms]/); t += a[1] * 60 + a[2] } print t }' "$CPU_FILE")
}
# Runs one timed step; its times are recorded whatever the outcome.
step() {
  local label=$1 start cpu0 rc
  shift
  start=$(port_now)
  cpu_now
  cpu0=$CPU_NOW
  port_log "== $label"
  "$@"
  rc=$?
  cpu_now
  TIMES+=("$(printf '%-18s %8ss wall %8ss cpu  %s' "$label" "$(port_elapsed "$start")" \
    "$(awk -v a="$cpu0" -v b="$CPU_NOW" 'BEGIN { printf "%.1f", b - a }')" \
    "$([ $rc = 0 ] && echo ok || echo "FAILED ($rc)")")")
  [ $rc = 0 ] || FAILED+=("$label")
  return $rc
}

# How the i386 programs run: "native" or "qemu" (set by probe, passed to the toolchain as XLSX_I386_RUN).
I386_RUN=native

# Builds the probe and runs it the way the target's tests will run. For i386 that decides the way: natively
# when the kernel runs the probe, else under qemu-i386; when neither runs it, the target fails and says why.
probe() {
  local t=$1 build triple out
  build=$(port_build_dir "$t")
  triple=$(port_triple "$t")
  out=$build/probe
  "$triple-gcc" -std=c11 -O2 -Wall -Wextra -o "$out" "$XLSX_ROOT/scripts/cross/probe.c" \
    $([ "$t" = i386 ] && echo "-Wl,--dynamic-linker=/usr/$triple/lib/ld-linux.so.2") || return 1
  if [ "$t" = ppc32 ]; then
    qemu-ppc -L "/usr/$triple" "$out" | sed "s/^/[port] $t /" >&2
    return "${PIPESTATUS[0]}"
  fi
  choose_i386_run "$out"
}

choose_i386_run() {
  local out=$1 native_error
  case "${PORT_I386_RUN:-}" in
    native | qemu) I386_RUN=$PORT_I386_RUN ;;
    "")
      if native_error=$("$out" 2>&1 >/dev/null); then
        I386_RUN=native
      else
        port_log "i386: the kernel does not run the 32-bit x86 probe (${native_error:-exit status $?}); trying qemu-i386"
        I386_RUN=qemu
      fi
      ;;
    *) port_log "PORT_I386_RUN must be native or qemu, not '$PORT_I386_RUN'"; return 1 ;;
  esac
  if [ "$I386_RUN" = qemu ]; then
    if ! command -v qemu-i386 >/dev/null; then
      port_log "i386: cannot run 32-bit x86 programs: the kernel does not, and qemu-i386 (package qemu-user) is missing"
      return 1
    fi
    local report
    if ! report=$(qemu-i386 "$out" 2>&1); then
      port_log "i386: cannot run 32-bit x86 programs: neither the kernel nor qemu-i386 runs the probe ($report)"
      return 1
    fi
    sed "s/^/[port] i386 /" <<<"$report" >&2
    port_log "i386: tests run under qemu-i386 user-mode emulation"
    # Test programs that start korvadel or a helper need the kernel to hand them to qemu-i386; only where it
    # cannot run them itself (a forced qemu run on a capable kernel starts those children natively).
    if [ -z "${PORT_I386_RUN:-}" ]; then
      "$XLSX_ROOT/scripts/cross/binfmt.sh" i386 || port_log "warning: tests that start a target program will fail"
    fi
  else
    "$out" | sed "s/^/[port] i386 /" >&2 || return 1
    port_log "i386: tests run natively"
  fi
}

configure() {
  local t=$1 build
  build=$(port_build_dir "$t")
  probe "$t" || return 1
  # The native build's optimisation without its debug information, which costs a quarter of the compile
  # time; PORT_DEBUG=1 keeps it (for gdb-multiarch against qemu-ppc -g PORT).
  local build_type=Release
  [ "${PORT_DEBUG:-0}" = 1 ] && build_type=RelWithDebInfo
  # A changed toolchain file only takes effect in a fresh cache.
  local fresh=()
  if [ -f "$build/CMakeCache.txt" ] && { [ "$build/CMakeCache.txt" -ot "$(port_toolchain "$t")" ] ||
    [ "$build/CMakeCache.txt" -ot "$XLSX_ROOT/cmake/toolchains/cross-linux-gnu.cmake" ]; }; then
    fresh=(--fresh)
  fi
  cmake "${fresh[@]}" -G Ninja -S "$XLSX_ROOT" -B "$build" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$(port_toolchain "$t")" -DXLSX_SYSROOT="$(port_sysroot "$t")" \
    -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DXLSX_BUILD_TESTS=ON -DXLSX_BUILD_BENCH=OFF -DXLSX_BUILD_FUZZ=OFF -DXLSX_SANITIZE=OFF \
    -DXLSX_HAVE_PYTHON_PEERS=OFF -DXLSX_I386_RUN="$I386_RUN" >"$build/port-configure.log" 2>&1
  local rc=$?
  [ $rc = 0 ] || tail -n 40 "$build/port-configure.log" >&2
  return $rc
}

build() {
  local t=$1 build rc warnings
  build=$(port_build_dir "$t")
  local only=()
  for tgt in ${PORT_BUILD_TARGETS:-}; do only+=(--target "$tgt"); done
  cmake --build "$build" -j "$PORT_JOBS" "${only[@]}" $([ $keep_going = 1 ] && echo "-- -k 0") \
    >"$build/port-build.log" 2>&1
  rc=$?
  warnings=$(grep -c 'warning:' "$build/port-build.log")
  port_log "$t: $warnings compiler warning(s); full log in $build/port-build.log"
  grep -E 'warning:|error:' "$build/port-build.log" | sort -u | head -n 40 >&2
  [ $rc = 0 ] || tail -n 30 "$build/port-build.log" >&2
  return $rc
}

run_tests() {
  local t=$1 build
  build=$(port_build_dir "$t")
  # shellcheck disable=SC2086
  env $(port_run_env "$t") ctest --test-dir "$build" --output-on-failure -j "$PORT_JOBS" --timeout 300 ${PORT_CTEST_ARGS:-} 2>&1 |
    tee "$build/port-test.log"
  local rc=${PIPESTATUS[0]}
  local label="build-$t"
  [ "$t" = i386 ] && label="build-i386 ($([ "$I386_RUN" = qemu ] && echo "under qemu-i386" || echo native))"
  [ "$t" = ppc32 ] && label="build-ppc32 (under qemu-ppc)"
  test_summary "$label" "$build" "$build/port-test.log"
  return $rc
}

if [ $install = 1 ]; then
  step "packages" "$XLSX_ROOT/scripts/cross/install-packages.sh" "${targets[@]}" || exit 1
fi
# Test programs that start korvadel or a helper need the kernel to hand PowerPC programs to qemu-ppc.
case " ${targets[*]} " in
  *" ppc32 "*)
    if [ "$(id -u)" = 0 ]; then
      "$XLSX_ROOT/scripts/cross/binfmt.sh" ppc32 || port_log "warning: tests that start a target program will fail"
    elif ! grep -qs '^interpreter .*qemu-ppc' /proc/sys/fs/binfmt_misc/*; then
      port_log "warning: not root, PowerPC programs not registered with binfmt_misc: tests that start a target program will fail"
    fi
    ;;
esac

for t in "${targets[@]}"; do
  build_dir=$(port_build_dir "$t")
  [ $rebuild = 1 ] && rm -rf "$build_dir"
  mkdir -p "$build_dir"
  # Until the tests have run, the target's summary says why they did not.
  echo "build-$t: not built or not tested (see the failed step above)" >"$build_dir/test-summary.txt"
  step "$t deps" "$XLSX_ROOT/scripts/cross/build-sysroot.sh" "$t" || continue
  [ $deps_only = 1 ] && continue
  step "$t configure" configure "$t" || continue
  if ! step "$t build" build "$t" && [ $keep_going = 0 ]; then continue; fi
  step "$t test" run_tests "$t"
done

echo
echo "Port run ($(date -u +%Y-%m-%dT%H:%MZ), ${PORT_JOBS} jobs):"
for line in "${TIMES[@]}"; do echo "  $line"; done
for t in "${targets[@]}"; do
  [ -d "$(port_build_dir "$t")" ] && printf '%s\n' "${TIMES[@]}" >"$(port_build_dir "$t")/port-times.txt"
done
for t in "${targets[@]}"; do cat "$(port_build_dir "$t")/test-summary.txt"; done
if [ ${#FAILED[@]} -gt 0 ]; then
  echo "Failed steps: ${FAILED[*]}"
  exit 1
fi
