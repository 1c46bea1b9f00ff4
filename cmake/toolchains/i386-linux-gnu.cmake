# 32-bit x86, built with Debian's i686-linux-gnu cross compiler, run natively or under qemu-i386. Use through
# scripts/port-test.sh i386, or:
#   cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/i386-linux-gnu.cmake \
#         -DXLSX_SYSROOT=$PWD/build-i386/sysroot
# The cross compiler's C library is used instead of multiarch i386 packages because gcc-multilib removes the
# PowerPC cross compiler; both targets can then live on one machine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(XLSX_CROSS_TRIPLE i686-linux-gnu)
set(XLSX_CROSS_NAME i386)
include("${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake")

# How the test programs run: "native" on a kernel that runs 32-bit x86 programs, "qemu" under qemu-i386
# user-mode emulation on one that cannot (scripts/port-test.sh decides by running a probe).
if(NOT XLSX_I386_RUN)
  set(XLSX_I386_RUN native)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES XLSX_I386_RUN)

# Programs name the cross C library's loader and find libstdc++ beside it, so no i386 packages of the build
# machine are needed, natively or under qemu-i386 (which takes the same absolute loader path).
set(_xlsx_i386_run "-Wl,--dynamic-linker=${XLSX_CROSS_LIBC_ROOT}/lib/ld-linux.so.2 -Wl,-rpath,${XLSX_CROSS_LIBC_ROOT}/lib")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_xlsx_i386_run}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath,${XLSX_CROSS_LIBC_ROOT}/lib")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-Wl,-rpath,${XLSX_CROSS_LIBC_ROOT}/lib")

# The cross C library has no character set converters of its own (gconv modules); those of Debian's 32-bit
# x86 C library (package libc6-i386, same glibc release) serve it. Test programs get them through this
# launcher, and the programs they start inherit the setting.
set(_xlsx_i386_env "/usr/bin/env")
if(EXISTS /usr/lib32/gconv/gconv-modules OR EXISTS /usr/lib32/gconv/gconv-modules.cache)
  list(APPEND _xlsx_i386_env "GCONV_PATH=/usr/lib32/gconv")
endif()
if(XLSX_I386_RUN STREQUAL "qemu")
  # Emulated like the PowerPC build: test folders may leave out the few tests whose work alone takes minutes.
  set(XLSX_TARGET_EMULATED ON)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_xlsx_i386_env};/usr/bin/qemu-i386")
else()
  # Natively, at full speed: no test needs leaving out for time.
  set(XLSX_TARGET_EMULATED OFF)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_xlsx_i386_env}")
endif()
