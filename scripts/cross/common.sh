# Shared helpers of scripts/port-test.sh and the scripts beside this file. Source it; it defines no
# side effects beyond variables and functions.

XLSX_ROOT=${XLSX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
PORT_JOBS=${PORT_JOBS:-2}
# Downloaded and unpacked Debian source packages, shared by every target (never committed: /build*/).
PORT_SRC_DIR=${PORT_SRC_DIR:-$XLSX_ROOT/build-port-src}

port_log() { printf '[port] %s\n' "$*" >&2; }
port_die() { printf '[port] error: %s\n' "$*" >&2; exit 1; }

# Cross compiler prefix of a target name.
port_triple() {
  case "$1" in
    ppc32) echo powerpc-linux-gnu ;;
    i386) echo i686-linux-gnu ;;
    *) port_die "unknown target '$1' (ppc32 or i386)" ;;
  esac
}

port_toolchain() { port_triple "$1" >/dev/null && echo "$XLSX_ROOT/cmake/toolchains/$1-linux-gnu.cmake"; }
port_build_dir() { echo "${PORT_BUILD_ROOT:-$XLSX_ROOT}/build-$1"; }
port_sysroot() { echo "$(port_build_dir "$1")/sysroot"; }

# Debian packages a target needs on the build machine.
port_packages() {
  local common="cmake ninja-build make pkg-config dpkg-dev libgtest-dev googletest"
  case "$1" in
    ppc32) echo "$common g++-powerpc-linux-gnu libc6-dev-powerpc-cross qemu-user" ;;
    i386) echo "$common g++-i686-linux-gnu libc6-dev-i386-cross libc6-i386 qemu-user" ;;
  esac
}

# Monotonic seconds with tenths, for the step timings.
port_now() { date +%s.%N; }
port_elapsed() { awk -v a="$1" -v b="$(port_now)" 'BEGIN { printf "%.1f", b - a }'; }

# Environment for running a target's programs outside CTest's emulator command (programs started by a
# test, commands given as a file path): the C library root for qemu, the i386 character set converters.
port_run_env() {
  case "$1" in
    ppc32) echo "QEMU_LD_PREFIX=/usr/$(port_triple ppc32)" ;;
    i386) [ -d /usr/lib32/gconv ] && echo "GCONV_PATH=/usr/lib32/gconv" ;;
  esac
  return 0
}
