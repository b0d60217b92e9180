#!/bin/sh
# Runs a GUI test program on the one X display that every GUI test of a build shares.
#
#   with-shared-display.sh <state-dir> <wine-run> <command...>
#
# Wine keeps one desktop per wineserver, drawn by an explorer.exe on the X display of the program
# that first needed it. With an Xvfb per test, that explorer died with the first test's display
# while other tests were still using the desktop, and their windows could no longer be created.
# Here one Xvfb serves every test and stays up (its pid is in <state-dir>/xvfb.pid), and the
# desktop's explorer.exe is started, when it is not up, by a Wine program detached from our output:
# started by a test, it would hold ctest's output pipe open for as long as it lives.
# With VELLORA_DISPLAY set, that display is used instead.
set -u
state=$1
winerun=$2
shift 2
if [ -n "${VELLORA_DISPLAY:-}" ]; then
    DISPLAY=$VELLORA_DISPLAY
    export DISPLAY
    exec "$@"
fi

mkdir -p "$state"
exec 9>"$state/xvfb.lock"
flock 9
pid=$(cat "$state/xvfb.pid" 2>/dev/null || true)
display=$(cat "$state/xvfb.display" 2>/dev/null || true)
if [ -z "$pid" ] || [ -z "$display" ] || ! kill -0 "$pid" 2>/dev/null ||
    ! DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1; then
    rm -f "$state/xvfb.number"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$state/xvfb.number" </dev/null >/dev/null 2>&1 9>&- &
    pid=$!
    i=0
    while [ ! -s "$state/xvfb.number" ]; do
        i=$((i + 1))
        if [ $i -gt 200 ] || ! kill -0 $pid 2>/dev/null; then
            echo "with-shared-display: Xvfb did not start" >&2
            exit 1
        fi
        sleep 0.05
    done
    display=:$(head -n 1 "$state/xvfb.number")
    echo "$pid" >"$state/xvfb.pid"
    echo "$display" >"$state/xvfb.display"
fi
DISPLAY=$display
export DISPLAY
# rundll32 makes a window, so Wine brings the desktop up on this display if it is not.
"$winerun" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 9>&-
exec 9>&-
exec "$@"
