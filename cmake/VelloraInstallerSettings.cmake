# What a publisher sets when building the installer (docs/publishing.md):
#
#   -DINSTALLER_PRODUCT_NAME=<name>   the window title "<name>在线安装" and the start page's
#                                     headline "<name>游戏 极速安装" (default Vellora)
#   -DINSTALLER_CONFIG_URLS=<a;b;c>   up to three addresses of the remote configuration file,
#                                     tried in this order; http:// or https://, at most 127
#                                     characters each (they are compiled into 128-byte slots)
#   -DINSTALLER_PUBLISHER_KEYS=<k.pub[;old.pub]>
#                                     one or two public keys made by `pkgtool keygen`: the
#                                     installer then takes only configuration files and update
#                                     lists signed by one of them (`pkgtool sign`), and only the
#                                     package size and SHA-256 such a list pins. Empty (the
#                                     default): no signatures are checked.
#
# The defaults point at the local demo server of scripts/demo.sh, so the demo works as built.

set(INSTALLER_PRODUCT_NAME "Vellora" CACHE STRING
  "Product name shown by the installer: title \"<name>在线安装\", headline \"<name>游戏 极速安装\"")
set(INSTALLER_CONFIG_URLS "http://127.0.0.1:8642/update/tarnhold.txt" CACHE STRING
  "Up to three addresses of the remote configuration file (a ;-separated list), tried in order")
set(INSTALLER_PUBLISHER_KEYS "" CACHE STRING
  "One or two publisher public keys (.pub files of pkgtool keygen, ;-separated); empty: no signatures")

# Texts become C string literals: no quotes or backslashes, which would end or change them.
function(_vellora_check_literal what text)
  if(text MATCHES "[\"\\\\]")
    message(FATAL_ERROR "${what} must not contain quotes or backslashes: ${text}")
  endif()
endfunction()

_vellora_check_literal(INSTALLER_PRODUCT_NAME "${INSTALLER_PRODUCT_NAME}")
string(LENGTH "${INSTALLER_PRODUCT_NAME}" _vellora_name_length)
if(_vellora_name_length EQUAL 0 OR _vellora_name_length GREATER 200)
  message(FATAL_ERROR "INSTALLER_PRODUCT_NAME must have 1 to 200 characters (got ${_vellora_name_length})")
endif()

# vellora_config_address_table(<target> <url>...)
# An object library with the built-in address table (src/ui/config_addresses.cpp) filled with
# the given addresses. Every executable that contains the installer window links exactly one.
function(vellora_config_address_table target)
  set(urls ${ARGN})
  list(LENGTH urls count)
  if(count EQUAL 0 OR count GREATER 3)
    message(FATAL_ERROR "${target}: give one to three configuration addresses (got ${count}: ${urls})")
  endif()
  set(definitions "")
  set(slot 1)
  foreach(url IN LISTS urls)
    string(LENGTH "${url}" length)
    if(length GREATER 127)
      message(FATAL_ERROR "${target}: the configuration address ${url} has ${length} characters; at most 127 fit its slot")
    endif()
    if(NOT url MATCHES "^https?://[^ ]+$")
      message(FATAL_ERROR "${target}: \"${url}\" is no http:// or https:// address")
    endif()
    _vellora_check_literal("${target}: the configuration address" "${url}")
    list(APPEND definitions "INSTALLER_CONFIG_URL_${slot}=\"${url}\"")
    math(EXPR slot "${slot} + 1")
  endforeach()
  add_library(${target} OBJECT "${CMAKE_SOURCE_DIR}/src/ui/config_addresses.cpp")
  target_compile_definitions(${target} PRIVATE ${definitions})
  target_link_libraries(${target} PRIVATE vellora_options)
endfunction()

# vellora_publisher_key_table(<target> [ALLOW_TEST_KEYS] <key.pub>...)
# An object library with the publisher key table (src/install/publisher_keys.cpp) filled with the
# keys of the given files (none: an installer that checks no signatures). Every installer
# executable links exactly one (vellora_installer_executable). A key must be a point of P-256 (a
# typo would build an installer that refuses every file), and none of the committed test keys,
# whose private halves are public, unless ALLOW_TEST_KEYS (the tests' own installers).
function(vellora_publisher_key_table target)
  cmake_parse_arguments(K "ALLOW_TEST_KEYS" "" "" ${ARGN})
  set(files ${K_UNPARSED_ARGUMENTS})
  list(LENGTH files count)
  if(count GREATER 2)
    message(FATAL_ERROR "${target}: give at most two publisher keys (got ${count}: ${files})")
  endif()
  set(keys "")
  foreach(file IN LISTS files)
    if(NOT IS_ABSOLUTE "${file}")
      set(file "${CMAKE_SOURCE_DIR}/${file}")
    endif()
    _vellora_read_public_key(${target} "${file}" hex)
    _vellora_check_public_key(${target} "${file}" "${hex}" ${K_ALLOW_TEST_KEYS})
    list(APPEND keys "${hex}")
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  endforeach()
  vellora_publisher_key_object(${target} ${keys})
endfunction()

# The key of a .pub file of pkgtool keygen, as 128 lower-case hex digits, into <out>.
function(_vellora_read_public_key target file out)
  if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
    message(FATAL_ERROR "${target}: no publisher key file ${file}")
  endif()
  file(STRINGS "${file}" lines)
  set(hex "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(line MATCHES "^ecdsa-p256-private")
      message(FATAL_ERROR "${target}: ${file} is a private key; build in its .pub file, and keep "
                          "the private key off every build and web server")
    endif()
    if(NOT hex STREQUAL "" OR NOT line MATCHES "^ecdsa-p256-public ([0-9A-Fa-f]+)$")
      message(FATAL_ERROR "${target}: ${file} is no public key of pkgtool keygen "
                          "(one line \"ecdsa-p256-public <128 hex digits>\" expected)")
    endif()
    set(hex "${CMAKE_MATCH_1}")
  endforeach()
  string(LENGTH "${hex}" length)
  if(NOT length EQUAL 128)
    message(FATAL_ERROR "${target}: ${file} holds no public key of 128 hex digits")
  endif()
  string(TOLOWER "${hex}" hex)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

function(_vellora_check_public_key target file hex allow_test_keys)
  set(repository "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/..")
  if(NOT allow_test_keys)
    file(GLOB test_keys "${repository}/tests/data/keys/*.pub")
    foreach(test_key IN LISTS test_keys)
      _vellora_read_public_key(${target} "${test_key}" test_hex)
      if(hex STREQUAL test_hex)
        message(FATAL_ERROR "${target}: ${file} is the tests' key ${test_key}, whose private half is public "
                            "in this repository: make your own with pkgtool keygen")
      endif()
    endforeach()
  endif()
  find_package(Python3 COMPONENTS Interpreter)
  if(NOT Python3_Interpreter_FOUND)
    message(FATAL_ERROR "${target}: checking the publisher key ${file} needs Python 3")
  endif()
  execute_process(
    COMMAND "${Python3_EXECUTABLE}" "${repository}/cmake/check_publisher_key.py" "${hex}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    string(STRIP "${output}" output)
    message(FATAL_ERROR "${target}: ${file}: ${output}")
  endif()
endfunction()

# vellora_publisher_key_object(<target> <hex>...)
# The object library of a key table from keys given as hex X||Y as they are, unchecked (the tests
# build an installer with a broken key this way), and the game they sign for: the product name,
# as escaped UTF-8 bytes that the compiler's conversion to GBK leaves alone.
function(vellora_publisher_key_object target)
  set(definitions "")
  set(slot 1)
  foreach(hex IN LISTS ARGN)
    list(APPEND definitions "INSTALLER_PUBLISHER_KEY_${slot}=\"${hex}\"")
    math(EXPR slot "${slot} + 1")
  endforeach()
  string(HEX "${INSTALLER_PRODUCT_NAME}" name_hex)
  string(REGEX REPLACE "(..)" "\\\\x\\1" name_escaped "${name_hex}")
  list(APPEND definitions "INSTALLER_PUBLISHER_GAME=\"${name_escaped}\"")
  add_library(${target} OBJECT "${CMAKE_SOURCE_DIR}/src/install/publisher_keys.cpp")
  target_compile_definitions(${target} PRIVATE ${definitions})
  target_link_libraries(${target} PRIVATE vellora_options)
endfunction()
