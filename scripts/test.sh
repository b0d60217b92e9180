#!/usr/bin/env bash
# Installs what is missing, builds all three configurations and runs every test.
#   scripts/test.sh            everything
#   scripts/test.sh -L package  only the tests with that CTest label (passed on to ctest)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

phase_start=$(date +%s)
total_start=$phase_start
phase() {
    local now
    now=$(date +%s)
    printf '== %-28s %4ds\n' "$1" $((now - phase_start))
    phase_start=$now
}

scripts/setup.sh
phase "setup"

for preset in win64 win32 native; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    phase "build $preset"
done

# Wine's services must be up before ctest starts, or they inherit ctest's pipes.
wine_up() {
    local preset=$1
    WINEPREFIX=$(sed -n 's/^VELLORA_WINEPREFIX:PATH=//p' "build/$preset/CMakeCache.txt") \
        VELLORA_WINE64=$(sed -n 's/^export VELLORA_WINE64="\(.*\)"$/\1/p' "build/$preset/wine-run") \
        QEMU_LD_PREFIX=$(sed -n 's/^export QEMU_LD_PREFIX="\(.*\)"$/\1/p' "build/$preset/wine-run") \
        scripts/wine-up.sh
}

status=0
ctest --preset native "$@" || status=1
phase "tests native (ASan, UBSan)"
wine_up win64
ctest --preset win64 "$@" || status=1
phase "tests win64 (Wine)"
wine_up win32
ctest --preset win32 "$@" || status=1
phase "tests win32 (i386 Wine, qemu)"

# The displays the GUI tests shared.
for preset in win64 win32; do
    if [ -f "build/$preset/testrun/display/xvfb.pid" ]; then
        kill "$(cat "build/$preset/testrun/display/xvfb.pid")" 2>/dev/null || true
        rm -f "build/$preset/testrun/display/xvfb.pid"
    fi
done

# What a player downloads, per build.
for preset in win32 win64; do
    exe=build/$preset/src/app/vellora_setup.exe
    [ -f "$exe" ] && printf '== %-28s %7d bytes (%d KB)\n' "installer $preset" "$(stat -c %s "$exe")" \
        $(( ($(stat -c %s "$exe") + 1023) / 1024 ))
done
printf '== %-28s %4ds\n' "total" $(( $(date +%s) - total_start ))
exit $status
