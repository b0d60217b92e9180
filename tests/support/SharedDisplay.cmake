# vellora_use_shared_display(): the test programs added after it in this directory run on the X
# display that all GUI tests share (with-shared-display.sh), instead of an Xvfb of their own as
# vellora_add_test(... GUI) gives: Wine's one desktop must outlive every test that uses it. Tests
# that show windows or drive input also take DesktopLock (gui_test_support.h), since the desktop,
# its focus and its cursor are shared. Register such tests without GUI.
macro(vellora_use_shared_display)
  if(WIN32 AND VELLORA_RUNS_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_SOURCE_DIR}/tests/support/with-shared-display.sh"
      "${VELLORA_TEST_RUNTIME_DIR}/display"
      "${CMAKE_BINARY_DIR}/wine-run"
      "${CMAKE_BINARY_DIR}/wine-run")
  endif()
endmacro()
