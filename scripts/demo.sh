#!/usr/bin/env bash
# The main job: builds the installer, serves the demo files on 127.0.0.1 and runs it under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

scripts/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo/www/update"
cat >"$demo/www/update/tarnhold.txt" <<'INI'
[setup]
gamename=Vellora
exefilename=vellora.exe
ProductTitle=Vellora
size=16
urlAgreement=http://127.0.0.1/agreement.html
uninstname=uninstall.exe
Publisher=Vellora Studio
Contact=support@vellora.example
[config]
1.0=http://127.0.0.1/update/list.txt
INI

python3=/usr/bin/python3
"$python3" tests/support/http_server.py start --state "$demo" --root "$demo/www" >/dev/null
trap '"$python3" tests/support/http_server.py stop --state "$demo"' EXIT
port=$(sed -n 's/^http=//p' "$demo/server.ini" | tr -d '\r')
echo "Demo server on http://127.0.0.1:$port/"

WINEPREFIX=$(sed -n 's/^VELLORA_WINEPREFIX:PATH=//p' build/win64/CMakeCache.txt)
export WINEPREFIX
echo "Fetching the demo configuration the way the installer will:"
build/win64/wine-run build/win64/tools/fetchurl.exe "http://127.0.0.1:$port/update/tarnhold.txt" | iconv -f GBK -t UTF-8
