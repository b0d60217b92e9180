#!/usr/bin/env bash
# Makes a throw-away code-signing certificate for the demo and the tests, never for a release:
#
#   scripts/make-codesign-certificate.sh DIR
#
#   DIR/ca.crt         a test CA ("Vellora test code-signing CA"), for osslsigncode verify -CAfile;
#                      its key is deleted once it has issued the one certificate, so it can vouch
#                      for nothing else
#   DIR/publisher.p12  the publisher's certificate (code signing only) and key, with the chain,
#                      as INSTALLER_AUTHENTICODE takes it
#   DIR/publisher.pass its password, for INSTALLER_AUTHENTICODE_PASSWORD_FILE
#
# Nothing here is trusted by Windows or by this machine: the installer it signs verifies only
# against DIR/ca.crt.
set -euo pipefail
dir=${1:?usage: make-codesign-certificate.sh DIR}
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
days=3650

openssl req -x509 -newkey rsa:2048 -nodes -days "$days" -keyout "$work/ca.key" -out "$work/ca.crt" \
    -subj "/CN=Vellora test code-signing CA" \
    -addext "basicConstraints=critical,CA:TRUE,pathlen:0" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -keyout "$work/publisher.key" -out "$work/publisher.csr" \
    -subj "/CN=Vellora Studio (test)/O=Vellora Studio (test)" 2>/dev/null
cat >"$work/publisher.ext" <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
EXT
openssl x509 -req -in "$work/publisher.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" -CAcreateserial \
    -CAserial "$work/ca.srl" -days "$days" -extfile "$work/publisher.ext" -out "$work/publisher.crt" 2>/dev/null
openssl rand -hex 16 >"$work/publisher.pass"
openssl pkcs12 -export -out "$work/publisher.p12" -inkey "$work/publisher.key" -in "$work/publisher.crt" \
    -certfile "$work/ca.crt" -name "Vellora Studio (test)" -passout "file:$work/publisher.pass"
chmod 600 "$work/publisher.p12" "$work/publisher.pass"
mv "$work/ca.crt" "$work/publisher.p12" "$work/publisher.pass" "$dir/"
