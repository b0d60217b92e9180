# Runs Windows programs under Wine in the project's own prefixes (made by scripts/setup.sh).
# Setting CMAKE_CROSSCOMPILING_EMULATOR makes add_test, gtest_discover_tests and plain `ctest`
# go through Wine.
#   x86_64: the host's wine64, natively, in .deps/wineprefix;
#   i686:   Debian's i386 Wine under qemu-i386 (scripts/setup-i686.sh), in the WoW64 prefix
#           .deps/wineprefix32. Its loader starts 64-bit programs (Wine's own services, reg.exe
#           asked for the 64-bit view) with the native wine64 beside it.

if(DEFINED ENV{VELLORA_DEPS})
  set(_vellora_deps "$ENV{VELLORA_DEPS}")
else()
  set(_vellora_deps "${CMAKE_SOURCE_DIR}/.deps")
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_default_prefix "${_vellora_deps}/wineprefix")
  set(VELLORA_WINE_LOADER /usr/lib/wine/wine64)
  set(VELLORA_WINE64 /usr/lib/wine/wine64)
  set(VELLORA_WINE_ENVIRONMENT "")
else()
  set(_default_prefix "${_vellora_deps}/wineprefix32")
  set(_root "${_vellora_deps}/i686/root")
  set(VELLORA_WINE_LOADER "${_root}/usr/lib/wine/wine")
  set(VELLORA_WINE64 "${_root}/usr/lib/wine/wine64")
  # qemu-i386 takes the i386 programs' libraries from the private root.
  set(VELLORA_WINE_ENVIRONMENT "export QEMU_LD_PREFIX=\"${_root}\"")
  if(NOT EXISTS "${VELLORA_WINE_LOADER}")
    message(WARNING "No i386 Wine at ${_root}: run scripts/setup.sh before running tests.")
  endif()
endif()
set(VELLORA_WINEPREFIX "${_default_prefix}" CACHE PATH "Wine prefix for tests and the demo")
if(NOT EXISTS "${VELLORA_WINEPREFIX}/system.reg")
  message(WARNING "No Wine prefix at ${VELLORA_WINEPREFIX}: run scripts/setup.sh before running tests.")
endif()

set(VELLORA_SOURCE_DIR "${CMAKE_SOURCE_DIR}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in" "${CMAKE_BINARY_DIR}/wine-run" @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")

# Test programs run on one Xvfb that all of them share, with Wine's desktop held up for the whole
# run (scripts/with-shared-display.sh): Wine keeps one desktop per wineserver, drawn by an
# explorer.exe on the display of the program that first needed it, so a display per test would take
# the desktop down with the first test, and a test without one could leave it without any.
set(VELLORA_TEST_EMULATOR
  "${CMAKE_SOURCE_DIR}/scripts/with-shared-display.sh"
  "${CMAKE_BINARY_DIR}/testrun/display"
  "${CMAKE_BINARY_DIR}/tests/support/desktop_holder.exe"
  "${CMAKE_BINARY_DIR}/wine-run"
  "${CMAKE_BINARY_DIR}/wine-run")
