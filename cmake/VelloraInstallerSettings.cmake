# What a publisher sets when building the installer (docs/publishing.md):
#
#   -DINSTALLER_PRODUCT_NAME=<name>   the window title "<name>在线安装" and the start page's
#                                     headline "<name>游戏 极速安装" (default Vellora)
#   -DINSTALLER_CONFIG_URLS=<a;b;c>   up to three addresses of the remote configuration file,
#                                     tried in this order; http:// or https://, at most 127
#                                     characters each (they are compiled into 128-byte slots)
#
# The defaults point at the local demo server of scripts/demo.sh, so the demo works as built.

set(INSTALLER_PRODUCT_NAME "Vellora" CACHE STRING
  "Product name shown by the installer: title \"<name>在线安装\", headline \"<name>游戏 极速安装\"")
set(INSTALLER_CONFIG_URLS "http://127.0.0.1:8642/update/tarnhold.txt" CACHE STRING
  "Up to three addresses of the remote configuration file (a ;-separated list), tried in order")

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
