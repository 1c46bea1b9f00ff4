#!/usr/bin/env bash
# Builds the project's dependencies for one 32-bit target into its private sysroot
# (build-TARGET/sysroot): zlib, libzip, libdeflate and Lua 5.4 from Debian's source packages, GoogleTest
# from /usr/src/googletest. Everything is a static, position-independent archive, so the built programs
# and the plugin module need nothing at run time beyond the cross compiler's C and C++ libraries.
# A dependency already in the sysroot (its stamp file present) is not built again; --rebuild starts over.
# Usage: scripts/cross/build-sysroot.sh ppc32|i386 [--rebuild]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

TARGET=${1:-}
[ -n "$TARGET" ] || port_die "usage: $0 ppc32|i386 [--rebuild]"
TRIPLE=$(port_triple "$TARGET")
BUILD=$(port_build_dir "$TARGET")
SYSROOT=$(port_sysroot "$TARGET")
TOOLCHAIN=$(port_toolchain "$TARGET")
DEPS=$BUILD/deps
[ "${2:-}" = "--rebuild" ] && rm -rf "$SYSROOT" "$DEPS"
mkdir -p "$SYSROOT/lib/pkgconfig" "$SYSROOT/include" "$DEPS" "$PORT_SRC_DIR"

# Bump when the way the sysroot is built changes: dependencies built by an older recipe are built again.
RECIPE=2
CFLAGS_TARGET="-O2 -fPIC -D_FILE_OFFSET_BITS=64"

# Downloads and unpacks a source package: the newest version that the archive serves. A security update's
# sources are not always served where its binaries are, so older versions of the same release are tried next.
fetch_source() {
  local pkg=$1 v log=$PORT_SRC_DIR/apt-source-$1.log
  : >"$log"
  for v in $(apt-cache showsrc --only-source "$pkg" | awk '/^Version:/ { print $2 }' | sort -V -r -u); do
    port_log "apt-get source $pkg=$v"
    if (cd "$PORT_SRC_DIR" && apt-get source -qq --only-source "$pkg=$v" >>"$log" 2>&1); then
      return 0
    fi
  done
  grep -E '^(E|W):' "$log" >&2
  port_die "apt-get source $pkg failed (is a deb-src entry present? scripts/cross/install-packages.sh adds one)"
}

# Unpacked source tree of a Debian source package (downloaded once into PORT_SRC_DIR, shared by targets).
debian_source() {
  local pkg=$1 dir
  dir=$(find "$PORT_SRC_DIR" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -n 1)
  if [ -z "$dir" ] || [ ! -f "$PORT_SRC_DIR/.unpacked-$pkg" ]; then
    fetch_source "$pkg"
    dir=$(find "$PORT_SRC_DIR" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -n 1)
    [ -n "$dir" ] || port_die "no unpacked tree for $pkg"
    touch "$PORT_SRC_DIR/.unpacked-$pkg"
  fi
  echo "$dir"
}

stamp() { echo "$SYSROOT/.built-$1"; }
done_already() { [ "$(head -n 1 "$(stamp "$1")" 2>/dev/null)" = "recipe $RECIPE" ]; }
mark_done() { printf 'recipe %s\n%s\n' "$RECIPE" "$(basename "$2")" >"$(stamp "$1")"; }

# CMake projects configured with our toolchain, installed into the sysroot.
cmake_dep() {
  local name=$1 src=$2
  shift 2
  cmake -G Ninja -S "$src" -B "$DEPS/$name" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DXLSX_SYSROOT="$SYSROOT" \
    -DCMAKE_INSTALL_PREFIX="$SYSROOT" -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON "$@" >"$DEPS/$name.configure.log" 2>&1 ||
    { tail -n 40 "$DEPS/$name.configure.log" >&2; port_die "$name: configure failed"; }
  cmake --build "$DEPS/$name" -j "$PORT_JOBS" >"$DEPS/$name.build.log" 2>&1 ||
    { tail -n 40 "$DEPS/$name.build.log" >&2; port_die "$name: build failed"; }
  cmake --install "$DEPS/$name" >>"$DEPS/$name.build.log" 2>&1 || port_die "$name: install failed"
}

build_zlib() {
  done_already zlib && return 0
  local src
  src=$(debian_source zlib)
  port_log "$TARGET: zlib ($(basename "$src"))"
  rm -rf "$DEPS/zlib" && cp -a "$src" "$DEPS/zlib"
  (cd "$DEPS/zlib" &&
    CHOST=$TRIPLE CC=$TRIPLE-gcc AR=$TRIPLE-ar RANLIB=$TRIPLE-ranlib CFLAGS="$CFLAGS_TARGET" \
      ./configure --static --prefix="$SYSROOT" --libdir="$SYSROOT/lib" &&
    make -j "$PORT_JOBS" libz.a && make install) >"$DEPS/zlib.log" 2>&1 ||
    { tail -n 40 "$DEPS/zlib.log" >&2; port_die "zlib failed"; }
  mark_done zlib "$src"
}

build_libzip() {
  done_already libzip && return 0
  local src
  src=$(debian_source libzip)
  port_log "$TARGET: libzip ($(basename "$src"))"
  # Only deflate is needed; every optional codec and crypto back end stays out.
  cmake_dep libzip "$src" -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
  mark_done libzip "$src"
}

build_libdeflate() {
  done_already libdeflate && return 0
  local src
  src=$(debian_source libdeflate)
  port_log "$TARGET: libdeflate ($(basename "$src"))"
  if [ -f "$src/CMakeLists.txt" ]; then
    cmake_dep libdeflate "$src" -DLIBDEFLATE_BUILD_SHARED_LIB=OFF -DLIBDEFLATE_BUILD_GZIP=OFF
  else
    rm -rf "$DEPS/libdeflate" && cp -a "$src" "$DEPS/libdeflate"
    (cd "$DEPS/libdeflate" &&
      make -j "$PORT_JOBS" libdeflate.a CC=$TRIPLE-gcc AR=$TRIPLE-ar CFLAGS="$CFLAGS_TARGET" &&
      make install-lib DESTDIR= PREFIX="$SYSROOT" LIBDIR="$SYSROOT/lib" DISABLE_SHARED=1 CC=$TRIPLE-gcc \
        AR=$TRIPLE-ar CFLAGS="$CFLAGS_TARGET" 2>/dev/null ||
      make install PREFIX="$SYSROOT" LIBDIR="$SYSROOT/lib" DISABLE_SHARED=1 CC=$TRIPLE-gcc AR=$TRIPLE-ar \
        CFLAGS="$CFLAGS_TARGET") >"$DEPS/libdeflate.log" 2>&1 ||
      { tail -n 40 "$DEPS/libdeflate.log" >&2; port_die "libdeflate failed"; }
  fi
  [ -f "$SYSROOT/lib/libdeflate.a" ] || port_die "libdeflate: no static archive installed"
  mark_done libdeflate "$src"
}

# Lua's own makefiles are patched by Debian for its shared-library packaging; the library is a plain list
# of C files, compiled here the way the upstream makefile's "linux" target does.
build_lua() {
  done_already lua5.4 && return 0
  local src obj f
  src=$(debian_source lua5.4)
  port_log "$TARGET: Lua ($(basename "$src"))"
  obj=$DEPS/lua5.4
  rm -rf "$obj" && mkdir -p "$obj"
  # Debian's luaconf.h takes the module search path's architecture folder from a generated header.
  printf '#ifndef _LUA_DEB_MULTIARCH_\n#define _LUA_DEB_MULTIARCH_\n#define DEB_HOST_MULTIARCH "%s"\n#endif\n' \
    "$TRIPLE" >"$obj/lua5.4-deb-multiarch.h"
  for f in "$src"/src/*.c; do
    case "$(basename "$f")" in lua.c | luac.c) continue ;; esac
    echo "$f"
  done | xargs -P "$PORT_JOBS" -I{} sh -c \
    '"$0" -std=gnu99 -O2 -fPIC -D_FILE_OFFSET_BITS=64 -Wall -DLUA_COMPAT_5_3 -DLUA_USE_LINUX -I"$2" -c "$1" -o "$2/$(basename "$1" .c).o"' \
    "$TRIPLE-gcc" {} "$obj" >"$DEPS/lua5.4.log" 2>&1 ||
    { tail -n 40 "$DEPS/lua5.4.log" >&2; port_die "Lua failed"; }
  rm -f "$SYSROOT/lib/liblua5.4.a"
  "$TRIPLE-ar" rcs "$SYSROOT/lib/liblua5.4.a" "$obj"/*.o
  mkdir -p "$SYSROOT/include/lua5.4"
  cp "$obj/lua5.4-deb-multiarch.h" "$SYSROOT/include/lua5.4/"
  for f in lua.h luaconf.h lualib.h lauxlib.h lua.hpp; do
    if [ -f "$src/src/$f" ]; then cp "$src/src/$f" "$SYSROOT/include/lua5.4/"; fi
  done
  # Debian keeps lua.hpp under debian/ in some versions.
  [ -f "$SYSROOT/include/lua5.4/lua.hpp" ] || cp "$(find "$src" -name lua.hpp | head -n 1)" "$SYSROOT/include/lua5.4/"
  cat >"$SYSROOT/lib/pkgconfig/lua5.4.pc" <<PC
prefix=$SYSROOT
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: Lua
Description: Lua language engine (static, for $TRIPLE)
Version: 5.4
Libs: -L\${libdir} -llua5.4
Libs.private: -lm -ldl
Cflags: -I\${includedir}/lua5.4
PC
  mark_done lua5.4 "$src"
}

build_googletest() {
  done_already googletest && return 0
  [ -f /usr/src/googletest/CMakeLists.txt ] || port_die "/usr/src/googletest missing (packages googletest, libgtest-dev)"
  port_log "$TARGET: GoogleTest (/usr/src/googletest)"
  cmake_dep googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  mark_done googletest /usr/src/googletest
}

command -v "$TRIPLE-g++" >/dev/null || port_die "$TRIPLE-g++ missing: run scripts/cross/install-packages.sh $TARGET"
build_zlib
build_libzip
build_libdeflate
build_lua
build_googletest
port_log "$TARGET: sysroot ready at $SYSROOT"
