# Shared part of the mingw-w64 toolchain files: the compilers of the posix thread model (GoogleTest
# needs std::mutex, which the win32 thread model lacks) for VELLORA_TRIPLE, and the search roots.

set(CMAKE_C_COMPILER   ${VELLORA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLORA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VELLORA_TRIPLE}-windres)

# liblzma lives in the project's own dependency prefix (scripts/setup.sh). find_package only
# sees it through CMAKE_FIND_ROOT_PATH: the ONLY modes below re-root every other search path.
if(DEFINED ENV{VELLORA_DEPS})
  set(_vellora_deps "$ENV{VELLORA_DEPS}")
else()
  get_filename_component(_vellora_deps "${CMAKE_CURRENT_LIST_DIR}/../.deps" ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${VELLORA_TRIPLE} "${_vellora_deps}/${VELLORA_TRIPLE}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
