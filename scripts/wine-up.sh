#!/bin/sh
# Brings up the wineserver of $WINEPREFIX and Wine's background services, detached from the
# caller's stdin/stdout/stderr. Without this, the first Wine program started by ctest spawns
# winedevice.exe with ctest's output pipe, and ctest waits on that pipe for ever.
# Safe to run before every program: it costs about 10 ms once the server is up.
# VELLORA_WINE64 names the 64-bit loader (the WoW64 prefix of the i686 build has its own).
set -u
: "${WINEPREFIX:?WINEPREFIX must be set}"
ws=/usr/lib/wine/wineserver
exec 9>"$WINEPREFIX/.wine-up.lock"
flock 9
# `wineserver -p` exits 0 when it started a server, 2 when one already runs for this prefix.
if "$ws" -p </dev/null >/dev/null 2>&1 9>&-; then
    "${VELLORA_WINE64:-/usr/lib/wine/wine64}" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
fi
exit 0
