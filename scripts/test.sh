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
WINEPREFIX=$(sed -n 's/^VELLORA_WINEPREFIX:PATH=//p' build/win64/CMakeCache.txt)
export WINEPREFIX
scripts/wine-up.sh

status=0
ctest --preset native "$@" || status=1
phase "tests native (ASan, UBSan)"
ctest --preset win64 "$@" || status=1
phase "tests win64 (Wine)"

# The display the GUI tests shared.
if [ -f build/win64/testrun/display/xvfb.pid ]; then
    kill "$(cat build/win64/testrun/display/xvfb.pid)" 2>/dev/null || true
    rm -f build/win64/testrun/display/xvfb.pid
fi

printf '== %-28s %4ds\n' "total" $(( $(date +%s) - total_start ))
exit $status
