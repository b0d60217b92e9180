# Runs x86_64 Windows programs under wine64 in the project's own prefix (made by scripts/setup.sh).
# Setting CMAKE_CROSSCOMPILING_EMULATOR makes add_test, gtest_discover_tests and plain `ctest`
# go through Wine.

if(DEFINED ENV{VELLORA_DEPS})
  set(_default_prefix "$ENV{VELLORA_DEPS}/wineprefix")
else()
  set(_default_prefix "${CMAKE_SOURCE_DIR}/.deps/wineprefix")
endif()
set(VELLORA_WINEPREFIX "${_default_prefix}" CACHE PATH "Wine prefix for tests and the demo")
if(NOT EXISTS "${VELLORA_WINEPREFIX}/system.reg")
  message(WARNING "No Wine prefix at ${VELLORA_WINEPREFIX}: run scripts/setup.sh before running tests.")
endif()

set(VELLORA_SOURCE_DIR "${CMAKE_SOURCE_DIR}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in" "${CMAKE_BINARY_DIR}/wine-run" @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")

# GUI programs need an X display. All GUI tests share one Xvfb (scripts/with-shared-display.sh):
# Wine keeps one desktop per wineserver, drawn by an explorer.exe on the display of the program
# that first needed it, so a display per test would take the desktop down with the first test.
set(VELLORA_GUI_EMULATOR
  "${CMAKE_SOURCE_DIR}/scripts/with-shared-display.sh"
  "${CMAKE_BINARY_DIR}/testrun/display"
  "${CMAKE_BINARY_DIR}/wine-run"
  "${CMAKE_BINARY_DIR}/wine-run")
