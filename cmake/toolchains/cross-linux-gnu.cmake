# Shared part of the 32-bit cross toolchains. The including file sets XLSX_CROSS_TRIPLE (the Debian cross
# compiler prefix, e.g. powerpc-linux-gnu), XLSX_CROSS_NAME (build folder suffix: ppc32, i386) and
# CMAKE_SYSTEM_PROCESSOR before including this one.
#
# Libraries come from two roots only: the private sysroot that scripts/cross/build-sysroot.sh fills with
# static zlib, libzip, libdeflate, Lua 5.4 and GoogleTest, and the cross compiler's own C library in
# /usr/${XLSX_CROSS_TRIPLE}. Nothing of the build machine's own architecture can leak into the link.

set(CMAKE_SYSTEM_NAME Linux)

# The sysroot path is needed again inside every try_compile, where only listed variables survive.
if(NOT XLSX_SYSROOT)
  if(DEFINED ENV{XLSX_SYSROOT})
    set(XLSX_SYSROOT "$ENV{XLSX_SYSROOT}")
  else()
    get_filename_component(XLSX_SYSROOT "${CMAKE_CURRENT_LIST_DIR}/../../build-${XLSX_CROSS_NAME}/sysroot" ABSOLUTE)
  endif()
endif()
set(XLSX_SYSROOT "${XLSX_SYSROOT}" CACHE PATH "Private sysroot with the target's dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES XLSX_SYSROOT XLSX_CROSS_TRIPLE XLSX_CROSS_NAME)

set(XLSX_CROSS_LIBC_ROOT "/usr/${XLSX_CROSS_TRIPLE}")

set(CMAKE_C_COMPILER "${XLSX_CROSS_TRIPLE}-gcc")
set(CMAKE_CXX_COMPILER "${XLSX_CROSS_TRIPLE}-g++")
set(CMAKE_AR "/usr/bin/${XLSX_CROSS_TRIPLE}-ar" CACHE FILEPATH "")
set(CMAKE_RANLIB "/usr/bin/${XLSX_CROSS_TRIPLE}-ranlib" CACHE FILEPATH "")
set(CMAKE_STRIP "/usr/bin/${XLSX_CROSS_TRIPLE}-strip" CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH "${XLSX_SYSROOT}" "${XLSX_CROSS_LIBC_ROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the sysroot's .pc files. The dependencies are static archives, so their private
# link lines (libzip needs -lz, Lua needs -lm -ldl) belong on every link: hence --static.
set(ENV{PKG_CONFIG_LIBDIR} "${XLSX_SYSROOT}/lib/pkgconfig:${XLSX_SYSROOT}/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(PKG_CONFIG_ARGN "--static")

# 64-bit file offsets and directory cookies, as on every current 32-bit Linux system. Without them readdir
# fails with EOVERFLOW under qemu-user on ext4, whose directory cookies are 64-bit for the (64-bit)
# emulator process, and files beyond 2 GiB cannot be opened.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")

# Everything built for the target is position independent: the static dependencies end up inside the
# plugin module as well as inside the host program.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

# The Python peers (openpyxl, XlsxWriter, LibreOffice) run on the build machine and cannot be driven by a
# program under emulation; test folders skip those tests and say why.
set(XLSX_HAVE_PYTHON_PEERS OFF CACHE BOOL "Python peer programs are available to the tests")
