#!/usr/bin/env bash
# Delivery benchmarks under Wine: prints figures, asserts nothing.
#
#   bench/delivery_bench.sh [win64|win32] [MB]
#
# Makes a package of MB (default 200) MB of made-up game content with pkgtool (native bench
# build), serves it with the test server on 127.0.0.1 and runs build/<preset>/bench/delivery_bench:
#   - the download alone, plain and pinned (SHA-256 computed while the bytes arrive).
# Everything lives in build/delivery-bench/; the package stays there for the next run of the same size.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
preset=${1:-win64}
megabytes=${2:-200}
work=$PWD/build/delivery-bench

cmake --preset bench >/dev/null
cmake --build --preset bench --target pkgtool write_game_content >/dev/null
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target delivery_bench >/dev/null

mkdir -p "$work/www" "$work/server"
cleanup() { python3 tests/support/http_server.py stop --state "$work/server" >/dev/null 2>&1 || true; }
trap cleanup EXIT

if [ "$(cat "$work/megabytes" 2>/dev/null)" != "$megabytes" ] || [ ! -f "$work/www/game.pak" ]; then
    rm -rf "$work/Game" "$work/www/game.pak"
    build/bench/bench/write_game_content "$work/Game" "$megabytes" >/dev/null
    build/bench/tools/pkgtool pack "$work/Game" -o "$work/www/game.pak" >"$work/pack.out"
    rm -rf "$work/Game"
    echo "$megabytes" >"$work/megabytes"
fi
size=$(sed -n 's/^size=//p' "$work/pack.out")
sha256=$(sed -n 's/^sha256=//p' "$work/pack.out")
python3 tests/support/http_server.py start --state "$work/server" --root "$work/www" >/dev/null
port=$(sed -n 's/^http=//p' "$work/server/server.ini" | tr -d '\r')

"build/$preset/wine-run" "build/$preset/bench/delivery_bench.exe" download \
    "http://127.0.0.1:$port/game.pak" "$size" "$sha256" 9 </dev/null
