# 32-bit big-endian PowerPC (the real target's processor family), built with Debian's powerpc-linux-gnu
# cross compiler and run under qemu-ppc user-mode emulation. Use through scripts/port-test.sh ppc32, or:
#   cmake -S . -B build-ppc32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/ppc32-linux-gnu.cmake \
#         -DXLSX_SYSROOT=$PWD/build-ppc32/sysroot
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(XLSX_CROSS_TRIPLE powerpc-linux-gnu)
set(XLSX_CROSS_NAME ppc32)
include("${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake")

# Test programs run under emulation, many times slower than natively: test folders may leave out the few
# tests whose work alone takes minutes there (and say why).
set(XLSX_TARGET_EMULATED ON)

# CTest and gtest_discover_tests run every target executable through the emulator. -L gives qemu the
# target's C library root, where it finds the dynamic loader ld.so.1 and libstdc++; the sysroot's own
# dependencies are linked statically and need no run-time path. QEMU_LD_PREFIX passes the same root on to
# target programs that a test program starts itself, which the kernel hands to qemu-ppc through binfmt_misc
# (scripts/cross/binfmt.sh registers it).
if(NOT XLSX_QEMU)
  set(XLSX_QEMU /usr/bin/qemu-ppc)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES XLSX_QEMU)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "/usr/bin/env;QEMU_LD_PREFIX=${XLSX_CROSS_LIBC_ROOT};${XLSX_QEMU};-L;${XLSX_CROSS_LIBC_ROOT}")
