#!/bin/sh
# Authenticode-signs an installer in place, right after it is linked
# (cmake/VelloraAuthenticode.cmake):
#
#   authenticode-sign.sh OSSLSIGNCODE EXE CERTIFICATE PASSWORD_FILE TIMESTAMP_URL PKCS11_MODULE NAME
#
# CERTIFICATE is a PKCS#12 file, or with PKCS11_MODULE the PKCS#11 URI of a token's certificate and
# key (without ";type="). The password or PIN is read from PASSWORD_FILE, or else from the
# environment's INSTALLER_AUTHENTICODE_PASSWORD, and handed to osslsigncode through a pipe: never
# on a command line, which every user of the machine can read. Empty arguments are unused.
#
# When signing fails the executable is deleted: the build stops, and the next build links and
# signs it again rather than taking an unsigned installer for a finished one.
set -eu
tool=$1 exe=$2 certificate=$3 password_file=$4 timestamp=$5 module=$6 name=$7
signed=$exe.signing
trap 'rm -f "$signed"' EXIT

if [ -n "$module" ]; then
    set -- -pkcs11module "$module" -pkcs11cert "$certificate;type=cert" -key "$certificate;type=private"
else
    set -- -pkcs12 "$certificate"
fi
# A timestamp keeps the signature valid after the certificate expires.
[ -z "$timestamp" ] || set -- "$@" -ts "$timestamp"
set -- "$@" -h sha256 -n "$name" -in "$exe" -out "$signed"

status=0
if [ -n "$password_file" ]; then
    "$tool" sign -readpass "$password_file" "$@" >/dev/null || status=$?
elif [ -n "${INSTALLER_AUTHENTICODE_PASSWORD+set}" ]; then
    printf '%s\n' "$INSTALLER_AUTHENTICODE_PASSWORD" | "$tool" sign -readpass - "$@" >/dev/null || status=$?
else
    "$tool" sign "$@" >/dev/null || status=$?
fi
if [ "$status" -ne 0 ]; then
    rm -f "$exe"
    echo "authenticode-sign: osslsigncode could not sign $exe (exit $status); it was deleted" >&2
    exit 1
fi
mv "$signed" "$exe"
trap - EXIT
