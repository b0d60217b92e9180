# Authenticode: the installer asks for administrator rights, and Windows names its publisher in the
# UAC prompt (and SmartScreen judges it) only when it is signed. What a publisher sets:
#
#   -DINSTALLER_AUTHENTICODE=<file.p12>       the code-signing certificate and key (PKCS#12); or,
#                                             with a hardware token, the PKCS#11 URI of its
#                                             certificate and key ("pkcs11:token=...;object=...")
#   -DINSTALLER_AUTHENTICODE_PASSWORD_FILE=<file>
#                                             the PKCS#12 password or the token's PIN, first line;
#                                             without it the build's environment variable
#                                             INSTALLER_AUTHENTICODE_PASSWORD is read. Never on a
#                                             command line, where it would be in the shell's
#                                             history, the cache and every process list.
#   -DINSTALLER_AUTHENTICODE_TIMESTAMP=<url>  an RFC 3161 timestamp server: the signature then
#                                             outlives the certificate
#   -DINSTALLER_AUTHENTICODE_PKCS11_MODULE=<module.so>
#                                             the token's PKCS#11 module (needs Debian's
#                                             libengine-pkcs11-openssl)
#
# osslsigncode (Debian's, 2.9 from bookworm-backports; scripts/setup.sh) signs vellora_setup.exe
# right after it is linked. Empty INSTALLER_AUTHENTICODE (the default): the installer is unsigned.

set(INSTALLER_AUTHENTICODE "" CACHE STRING
  "Authenticode certificate of the installer: a PKCS#12 file, or a PKCS#11 URI with INSTALLER_AUTHENTICODE_PKCS11_MODULE")
set(INSTALLER_AUTHENTICODE_PASSWORD_FILE "" CACHE FILEPATH
  "File whose first line is the certificate's password or the token's PIN (else $ENV{INSTALLER_AUTHENTICODE_PASSWORD})")
set(INSTALLER_AUTHENTICODE_TIMESTAMP "" CACHE STRING "RFC 3161 timestamp server for the Authenticode signature")
set(INSTALLER_AUTHENTICODE_PKCS11_MODULE "" CACHE FILEPATH "PKCS#11 module of the hardware token that holds the key")

# vellora_authenticode_sign(<target> CERTIFICATE <p12 or URI> [PASSWORD_FILE <file>]
#                           [TIMESTAMP <url>] [PKCS11_MODULE <module>])
# Signs the executable of <target> after every link (cmake/authenticode-sign.sh).
function(vellora_authenticode_sign target)
  cmake_parse_arguments(A "" "CERTIFICATE;PASSWORD_FILE;TIMESTAMP;PKCS11_MODULE" "" ${ARGN})
  find_program(OSSLSIGNCODE osslsigncode)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "${target}: Authenticode signing needs osslsigncode (scripts/setup.sh installs it)")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sh "${CMAKE_SOURCE_DIR}/cmake/authenticode-sign.sh" "${OSSLSIGNCODE}" "$<TARGET_FILE:${target}>"
            "${A_CERTIFICATE}" "${A_PASSWORD_FILE}" "${A_TIMESTAMP}" "${A_PKCS11_MODULE}"
            "${INSTALLER_PRODUCT_NAME}"
    VERBATIM)
endfunction()

# The publisher's settings, checked when configuring: a mistake shows now, not after the link.
function(vellora_check_authenticode_settings)
  if(INSTALLER_AUTHENTICODE_PKCS11_MODULE)
    if(NOT INSTALLER_AUTHENTICODE MATCHES "^pkcs11:" OR INSTALLER_AUTHENTICODE MATCHES ";type=")
      message(FATAL_ERROR "With INSTALLER_AUTHENTICODE_PKCS11_MODULE, INSTALLER_AUTHENTICODE must be the token "
                          "object's PKCS#11 URI, without \";type=\" (got ${INSTALLER_AUTHENTICODE})")
    endif()
    set(_files "${INSTALLER_AUTHENTICODE_PKCS11_MODULE}")
  else()
    set(_files "${INSTALLER_AUTHENTICODE}")
  endif()
  if(INSTALLER_AUTHENTICODE_PASSWORD_FILE)
    list(APPEND _files "${INSTALLER_AUTHENTICODE_PASSWORD_FILE}")
  endif()
  foreach(_file IN LISTS _files)
    if(NOT IS_ABSOLUTE "${_file}" OR NOT EXISTS "${_file}" OR IS_DIRECTORY "${_file}")
      message(FATAL_ERROR "Authenticode: ${_file} is no file (give absolute paths)")
    endif()
  endforeach()
  if(INSTALLER_AUTHENTICODE_TIMESTAMP AND NOT INSTALLER_AUTHENTICODE_TIMESTAMP MATCHES "^https?://[^ ]+$")
    message(FATAL_ERROR "INSTALLER_AUTHENTICODE_TIMESTAMP must be an http:// or https:// address")
  endif()
endfunction()
