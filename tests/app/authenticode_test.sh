#!/bin/sh
# The installer signed as INSTALLER_AUTHENTICODE signs it: its signature verifies against the
# certificate's CA, and a copy with one byte flipped fails verification.
#
#   authenticode_test.sh OSSLSIGNCODE EXE CA_FILE SCRATCH
set -eu
tool=$1 exe=$2 ca=$3 scratch=$4
rm -rf "$scratch"
mkdir -p "$scratch"

if ! "$tool" verify -CAfile "$ca" -in "$exe" >"$scratch/signed.txt" 2>&1; then
    cat "$scratch/signed.txt"
    echo "FAIL: the signed installer does not verify against $ca"
    exit 1
fi
grep -q '^Signature verification: ok' "$scratch/signed.txt"

# One byte in the middle of the code, which the signature's digest covers.
cp "$exe" "$scratch/flipped.exe"
python3 -c 'import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[len(data) // 2] ^= 1
open(path, "wb").write(data)' "$scratch/flipped.exe"
if "$tool" verify -CAfile "$ca" -in "$scratch/flipped.exe" >"$scratch/flipped.txt" 2>&1; then
    cat "$scratch/flipped.txt"
    echo "FAIL: a copy with one byte flipped still verifies"
    exit 1
fi
grep -q 'MISMATCH' "$scratch/flipped.txt"
echo "the signed installer verifies; a copy with one byte flipped does not"
