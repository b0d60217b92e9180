#!/usr/bin/env bash
# Delivery benchmarks under Wine: prints figures, asserts nothing.
#
#   bench/delivery_bench.sh [win64|win32] [MB] [resume]
#
# Makes a package of MB (default 200) MB of made-up game content plus the demo game with pkgtool
# (native bench build), serves it with the test server on 127.0.0.1 and runs
# build/<preset>/bench/delivery_bench.exe:
#   1. the download alone, plain and pinned (SHA-256 computed while the bytes arrive);
#   2. the whole installation job from its start to status 7, at 10 MB/s and unthrottled: the
#      download alone, the job without speculative decoding and the job with it, each in a
#      process of its own (time, peak memory, and the seconds the extraction spent writing the
#      files, from its 50 % to its 100 %: the part of the job after the download that no decoding
#      can hide. Creating a file costs 1 to 2.5 ms here, as much from the disk (natively too: 0.06
#      to 1.4 ms a file, from run to run) as from Wine, and the package holds about 2,300 files);
#   3. the pinned download killed at 50 % and run again, at 10 MB/s and unthrottled: the time and
#      the bytes the second run fetched (from the server's log), against a whole download
#      ("resume" runs this part alone).
# Everything lives in build/delivery-bench/; the package stays there for the next run of the size.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
preset=${1:-win64}
megabytes=${2:-200}
parts=${3:-all}
work=$PWD/build/delivery-bench

cmake --preset bench >/dev/null
cmake --build --preset bench --target pkgtool write_game_content >/dev/null
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target delivery_bench demo_game >/dev/null
run() { "build/$preset/wine-run" "build/$preset/bench/delivery_bench.exe" "$@" </dev/null; }
WINEPREFIX=$(sed -n 's/^VELLORA_WINEPREFIX:PATH=//p' "build/$preset/CMakeCache.txt")

mkdir -p "$work/www" "$work/server"
cleanup() { python3 tests/support/http_server.py stop --state "$work/server" >/dev/null 2>&1 || true; }
trap cleanup EXIT

made="$megabytes MB with the demo game"
if [ "$(cat "$work/made" 2>/dev/null)" != "$made" ] || [ ! -f "$work/www/game.pak" ]; then
    rm -rf "$work/Game" "$work/www/game.pak"
    build/bench/bench/write_game_content "$work/Game" "$megabytes" >/dev/null
    cp "build/$preset/demo/demo_game.exe" "$work/Game/game.exe"
    printf 'VelloraDeliveryBench' >"$work/Game/caption.txt"
    build/bench/tools/pkgtool pack "$work/Game" -o "$work/www/game.pak" >"$work/pack.out"
    rm -rf "$work/Game"
    echo "$made" >"$work/made"
fi
size=$(sed -n 's/^size=//p' "$work/pack.out")
sha256=$(sed -n 's/^sha256=//p' "$work/pack.out")
python3 tests/support/http_server.py start --state "$work/server" --root "$work/www" >/dev/null
port=$(sed -n 's/^http=//p' "$work/server/server.ini" | tr -d '\r')
base=http://127.0.0.1:$port

if [ "$parts" != resume ]; then
echo "== 1. hashing while downloading"
run download "$base/game.pak" "$size" "$sha256" 9

echo
echo "== 2. the installation job from its start to status 7 ($(( size / 1000000 )) MB package, $preset)"
folder='C:\vellora-delivery-bench'
printf '   %-16s %-28s %9s %16s %14s %9s\n' "server" "" "seconds" "download ended" "writing files" "peak MB"
for rate in 10000000 0; do
    query=""
    label="unthrottled"
    if [ "$rate" != 0 ]; then query="?rate=$rate"; label="$((rate / 1000000)) MB/s"; fi
    printf '[list0]\r\naction=3\r\nsrcfile=%s/game.pak%s\r\ndestfile=game.pak\r\ncmd=DEC\r\n' "$base" "$query" \
        >"$work/www/list.txt"
    read -r fetched fetchedPeak < <(run fetch "$base/game.pak$query")
    rm -rf "$WINEPREFIX/drive_c/vellora-delivery-bench"
    read -r plain plainDownloaded plainWriting plainPeak < <(run job "$base/list.txt" "$folder" 0)
    rm -rf "$WINEPREFIX/drive_c/vellora-delivery-bench"
    read -r spec specDownloaded specWriting specPeak < <(run job "$base/list.txt" "$folder" 1)
    rm -rf "$WINEPREFIX/drive_c/vellora-delivery-bench"
    printf '   %-16s %-28s %9s %16s %14s %9s\n' "$label" "download alone" "$fetched" "$fetched" "" "$fetchedPeak"
    printf '   %-16s %-28s %9s %16s %14s %9s\n' "" "job, decoding afterwards" "$plain" "$plainDownloaded" "$plainWriting" "$plainPeak"
    printf '   %-16s %-28s %9s %16s %14s %9s\n' "" "job, decoding meanwhile" "$spec" "$specDownloaded" "$specWriting" "$specPeak"
    # The writing of the files varies by seconds from run to run here (the disk's pace at creating
    # files varies, natively too): the figures less it compare the rest.
    awk -v d="$fetched" -v p="$plain" -v s="$spec" -v w="$specWriting" -v pw="$plainWriting" 'BEGIN {
        printf "   %-16s job / download: %.2f without, %.2f with speculative decoding; with / without: %.2f\n", "", p / d, s / d, s / p
        printf "   %-16s less the writing of the files: with %.2f of the download; with / without: %.2f\n", "", (s - w) / d, (s - w) / (p - pw) }'
done
fi

echo
echo "== 3. a pinned download killed at 50 %, then run again ($(( size / 1000000 )) MB package, $preset)"
printf '   %-16s %10s %10s %12s %22s %14s\n' "server" "whole, s" "kept, MB" "resumed, s" "fetched, MB (log)" "resumed/whole"
for rate in 10000000 0; do
    query=""
    label="unthrottled"
    if [ "$rate" != 0 ]; then query="?rate=$rate"; label="$((rate / 1000000)) MB/s"; fi
    # The killed run is paced (at half the line's rate, or 50 MB/s), so that the kill lands near half.
    killRate=$(( rate ? rate / 2 : 50000000 ))
    : >"$work/server/server.log"
    read -r whole kept resumed fetched < <(run resume "$base/game.pak$query" "$base/game.pak?rate=$killRate" "$size" "$sha256")
    # What the server was asked for by the resumed run: its last request, from its Range start on.
    start=$(grep -F "GET /game.pak$query RANGE=" "$work/server/server.log" | tail -1 | sed -n 's/.*RANGE=bytes=\([0-9]*\)-.*/\1/p')
    logged=$(( size - ${start:-0} ))
    awk -v l="$label" -v w="$whole" -v k="$kept" -v r="$resumed" -v f="$fetched" -v g="$logged" 'BEGIN {
        printf "   %-16s %10.2f %10.1f %12.2f %15.1f (%5.1f) %14.2f\n", l, w, k / 1e6, r, f / 1e6, g / 1e6, r / w }'
done
