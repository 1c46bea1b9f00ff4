#!/usr/bin/env bash
# Prepares a Debian 12 machine and builds the project.
#   scripts/setup.sh                 install missing packages, configure and build build/
#   scripts/setup.sh --packages-only install missing packages only
# BUILD_DIR (default build) and extra CMake arguments after "--" choose another build:
#   BUILD_DIR=build-asan scripts/setup.sh -- -DXLSX_SANITIZE=ON
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES=(build-essential cmake pkg-config libzip-dev libdeflate-dev zlib1g-dev liblua5.4-dev libgtest-dev
          python3 python3-openpyxl python3-xlsxwriter libreoffice-calc clang libclang-rt-14-dev)

install_missing_packages() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  # The npm readers of the interoperability tests need node and npm; any installed ones will do.
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    missing+=(nodejs npm)
  fi
  if ((${#missing[@]} == 0)); then
    return
  fi
  echo "setup: installing ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get -o DPkg::Lock::Timeout=600 update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends \
    "${missing[@]}"
}

packages_only=0
cmake_args=()
while (($#)); do
  case "$1" in
    --packages-only) packages_only=1 ;;
    --) shift; cmake_args=("$@"); break ;;
    *) echo "setup: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

install_missing_packages
if ((packages_only)); then
  exit 0
fi

build_dir="${BUILD_DIR:-build}"
case "$build_dir" in /*) ;; *) build_dir="$ROOT/$build_dir" ;; esac
cmake -S "$ROOT" -B "$build_dir" -DXLSX_BUILD_BENCH=OFF "${cmake_args[@]}"
cmake --build "$build_dir" -j "$(nproc)"

# The npm packages of the interoperability tests (tests/interop/node), at the versions of its lock file,
# into the build folder; skipped when that lock file is installed there already.
node_dir="$build_dir/interop-node"
if ! cmp -s "$ROOT/tests/interop/node/package-lock.json" "$node_dir/package-lock.json" ||
   [ ! -d "$node_dir/node_modules" ]; then
  mkdir -p "$node_dir"
  cp "$ROOT/tests/interop/node/package.json" "$ROOT/tests/interop/node/package-lock.json" \
     "$ROOT/tests/interop/node/.npmrc" "$node_dir/"
  (cd "$node_dir" && npm ci --no-audit --no-fund)
fi
