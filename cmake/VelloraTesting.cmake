# Test helpers shared by every subsystem's tests.
#
#   vellora_add_test(<name> LABEL <subsystem> SOURCES <files...>
#                    [LIBS <targets...>] [FIXTURES <fixture>] [GUI] [SERIAL] [TIMEOUT <seconds>])
#
# Builds a GoogleTest executable and registers each of its test cases with CTest, labelled by
# subsystem (common, net, install, package, shell, app, ui, skin) so that one subsystem can run
# alone: `ctest -L package`. Windows tests run under Wine, all on one shared Xvfb; GUI marks the
# programs that show windows; SERIAL the programs that change what every other program sees (the
# system's settings), which then run with no other test beside them.
# Without an emulator for a cross build, the executables are only built.

include(GoogleTest)

if(WIN32)
  # GoogleTest from Debian's sources, built with the cross compiler.
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
    set(VELLORA_GTEST_TARGET gtest)
  else()
    # A Windows host (MSYS2) has GoogleTest from its package manager.
    find_package(GTest REQUIRED)
    set(VELLORA_GTEST_TARGET GTest::gtest)
  endif()
else()
  find_package(GTest REQUIRED)
  set(VELLORA_GTEST_TARGET GTest::gtest)
endif()

# Where tests keep their runtime files (served folder, server state, scratch space), as the test
# program sees the path: Z:\... under Wine, the plain path natively.
set(VELLORA_TEST_RUNTIME_DIR "${CMAKE_BINARY_DIR}/testrun")
file(MAKE_DIRECTORY "${VELLORA_TEST_RUNTIME_DIR}/www")
function(vellora_program_path out unix_path)
  if(WIN32)
    string(REPLACE "/" "\\\\" _p "${unix_path}")
    set(${out} "Z:${_p}" PARENT_SCOPE)
  else()
    set(${out} "${unix_path}" PARENT_SCOPE)
  endif()
endfunction()

set(VELLORA_RUNS_TESTS OFF)
if(NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR)
  set(VELLORA_RUNS_TESTS ON)
endif()

function(vellora_add_test name)
  cmake_parse_arguments(T "GUI;SERIAL" "LABEL;TIMEOUT" "SOURCES;LIBS;FIXTURES" ${ARGN})
  if(NOT T_LABEL)
    message(FATAL_ERROR "vellora_add_test(${name}): LABEL is required")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} vellora_test_support vellora_options)
  if(NOT VELLORA_RUNS_TESTS)
    return()
  endif()
  if(WIN32)
    # Every Windows test, GUI or not, may bring Wine's desktop up (a message-only window is
    # enough): all of them run on the shared display (VelloraWine.cmake).
    set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR "${VELLORA_TEST_EMULATOR}")
    add_dependencies(${name} desktop_holder)
  endif()
  set(_props LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    list(APPEND _props RUN_SERIAL TRUE)
  endif()
  if(T_FIXTURES)
    # GoogleTest's discovery flattens the property list, so a second fixture would be read as a
    # property name. Tests name one fixture; a further setup step joins that fixture instead.
    list(LENGTH T_FIXTURES _count)
    if(_count GREATER 1)
      message(FATAL_ERROR "vellora_add_test(${name}): name one fixture (got ${T_FIXTURES})")
    endif()
    list(APPEND _props FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX "${T_LABEL}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${_props})
endfunction()
