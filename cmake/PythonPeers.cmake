# Whether the tests may use the Python peer programs, real third-party writers and readers of .xlsx
# (python3 with openpyxl and XlsxWriter; LibreOffice where a test also asks for it), and helpers for the
# test folders that use them. Include it from a test folder's CMakeLists.txt:
#   include(${PROJECT_SOURCE_DIR}/cmake/PythonPeers.cmake)
#
# XLSX_HAVE_PYTHON_PEERS (cache, BOOL): ON when python3 imports openpyxl and xlsxwriter on the build
#   machine; always OFF in a cross-compiled build, whose test programs run for another processor (under
#   emulation) and cannot hand files to the build machine's Python. May be set on the command line.
# XLSX_PYTHON3 (cache, FILEPATH): the python3 that imports the peers; peer tests run their scripts with it.
# XLSX_HAVE_LIBREOFFICE (cache, BOOL): ON when soffice is found and the build is not cross-compiled.
# XLSX_PYTHON_PEERS_SKIP_REASON: the text printed for every test skipped for want of the peers.
#
# xlsx_add_peer_test(NAME name COMMAND cmd... [WORKING_DIRECTORY dir] [NEEDS_LIBREOFFICE])
#   add_test() when the peers are there. Otherwise a stand-in test that prints the reason: in a cross build
#   it is reported as skipped (exit code 77); in a native build it fails, because scripts/setup.sh installs
#   every peer and a missing one means the machine was not set up.
# xlsx_peer_definitions(target)
#   gives a GoogleTest program XLSX_HAVE_PYTHON_PEERS (0/1), XLSX_HAVE_LIBREOFFICE (0/1) and
#   XLSX_PYTHON_PEERS_SKIP_REASON (a string literal), for GTEST_SKIP() << XLSX_PYTHON_PEERS_SKIP_REASON;
#   CTest then reports such a case as skipped and its output carries the reason.
include_guard(GLOBAL)

if(NOT DEFINED XLSX_HAVE_PYTHON_PEERS)
  set(_xlsx_peers OFF)
  if(NOT CMAKE_CROSSCOMPILING)
    # Debian's python3 first: the peers are Debian packages (python3-openpyxl, python3-xlsxwriter), which
    # another python3 earlier on PATH (a pyenv one, say) does not see.
    foreach(_xlsx_py /usr/bin/python3 python3)
      unset(_xlsx_found CACHE)
      find_program(_xlsx_found NAMES ${_xlsx_py} NO_CACHE)
      if(_xlsx_found)
        execute_process(COMMAND "${_xlsx_found}" -c "import openpyxl, xlsxwriter"
                        RESULT_VARIABLE _xlsx_import OUTPUT_QUIET ERROR_QUIET)
        if(_xlsx_import EQUAL 0)
          set(_xlsx_peers ON)
          set(XLSX_PYTHON3 "${_xlsx_found}" CACHE FILEPATH "python3 that runs the peer scripts")
          break()
        endif()
      endif()
    endforeach()
  endif()
  set(XLSX_HAVE_PYTHON_PEERS ${_xlsx_peers} CACHE BOOL "Python peer programs (openpyxl, XlsxWriter) are available to the tests")
endif()

# Looked for at every configure: a cached "not found" would outlive the installation of the package.
set(_xlsx_office OFF)
if(NOT CMAKE_CROSSCOMPILING AND XLSX_HAVE_PYTHON_PEERS)
  find_program(XLSX_SOFFICE NAMES soffice libreoffice)
  if(XLSX_SOFFICE)
    set(_xlsx_office ON)
  endif()
endif()
set(XLSX_HAVE_LIBREOFFICE ${_xlsx_office} CACHE BOOL "LibreOffice is available to the tests" FORCE)

# Internal cache entries: the module is read once, but every test folder needs the text.
if(CMAKE_CROSSCOMPILING)
  set(XLSX_PYTHON_PEERS_SKIP_REASON
      "needs the Python peers (openpyxl, XlsxWriter, LibreOffice): not used in a cross-compiled ${CMAKE_SYSTEM_PROCESSOR} build (XLSX_HAVE_PYTHON_PEERS=OFF)"
      CACHE INTERNAL "")
else()
  set(XLSX_PYTHON_PEERS_SKIP_REASON
      "needs the Python peers (openpyxl, XlsxWriter, LibreOffice): not found on this machine (XLSX_HAVE_PYTHON_PEERS=OFF)"
      CACHE INTERNAL "")
endif()
set(XLSX_LIBREOFFICE_MISSING
    "needs LibreOffice (soffice), which scripts/setup.sh installs (package libreoffice-calc): not found on this machine"
    CACHE INTERNAL "")

if(NOT XLSX_HAVE_PYTHON_PEERS)
  message(STATUS "Python peer tests are skipped: ${XLSX_PYTHON_PEERS_SKIP_REASON}")
endif()

function(xlsx_add_peer_test)
  cmake_parse_arguments(ARG "NEEDS_LIBREOFFICE" "NAME;WORKING_DIRECTORY" "COMMAND" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_COMMAND)
    message(FATAL_ERROR "xlsx_add_peer_test: NAME and COMMAND are required")
  endif()
  set(_have ${XLSX_HAVE_PYTHON_PEERS})
  if(ARG_NEEDS_LIBREOFFICE AND NOT XLSX_HAVE_LIBREOFFICE)
    set(_have OFF)
  endif()
  if(_have)
    if(ARG_WORKING_DIRECTORY)
      add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
    else()
      add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND})
    endif()
  elseif(CMAKE_CROSSCOMPILING)
    # Runs on the build machine (not a target program, so never through the emulator).
    add_test(NAME ${ARG_NAME}
             COMMAND sh -c "echo '[  SKIPPED ] ${ARG_NAME}: ${XLSX_PYTHON_PEERS_SKIP_REASON}'; exit 77")
    set_tests_properties(${ARG_NAME} PROPERTIES SKIP_RETURN_CODE 77)
  else()
    set(_reason "${XLSX_PYTHON_PEERS_SKIP_REASON}")
    if(XLSX_HAVE_PYTHON_PEERS)
      set(_reason "${XLSX_LIBREOFFICE_MISSING}")
    endif()
    add_test(NAME ${ARG_NAME} COMMAND sh -c "echo 'FAILED ${ARG_NAME}: ${_reason}'; exit 1")
  endif()
endfunction()

function(xlsx_peer_definitions target)
  if(XLSX_HAVE_PYTHON_PEERS)
    set(_peers 1)
  else()
    set(_peers 0)
  endif()
  if(XLSX_HAVE_LIBREOFFICE)
    set(_office 1)
  else()
    set(_office 0)
  endif()
  if(CMAKE_CROSSCOMPILING)
    set(_cross 1)
  else()
    set(_cross 0)
  endif()
  target_compile_definitions(${target} PRIVATE XLSX_HAVE_PYTHON_PEERS=${_peers} XLSX_HAVE_LIBREOFFICE=${_office}
                             XLSX_CROSS_BUILD=${_cross}
                             "XLSX_PYTHON_PEERS_SKIP_REASON=\"${XLSX_PYTHON_PEERS_SKIP_REASON}\"")
endfunction()
