#!/bin/sh
# Runs a test program of a Windows build on the one X display that all its tests share, with Wine's
# desktop held up for the whole run.
#
#   with-shared-display.sh <state-dir> <desktop_holder.exe> <wine-run> <command...>
#
# Wine keeps one desktop per wineserver, drawn by an explorer.exe on the X display of the program
# that first needed it, and ends that explorer a few seconds after the last program using the
# desktop. Started by a test, explorer would keep ctest's output pipe open for as long as it lives,
# and started by a program without a display, it gives the desktop Wine's null driver, on which no
# window can be created. So here one Xvfb serves every test and stays up (its pid is in
# <state-dir>/xvfb.pid), and desktop_holder.exe, detached from our output, keeps the desktop (and
# its explorer) up on that display until scripts/test.sh ends it (pid in <state-dir>/holder.pid).
# With VELLORA_DISPLAY set, that display is used instead.
set -u
state=$1
holder=$2
winerun=$3
shift 3
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

# The holder fails at once while the desktop is up on Wine's null driver: Wine's services, started
# by a program without a display, bring one up for a few seconds. That is waited out.
start_holder() {
    rm -f "$state/holder.ready"
    ready="Z:$(printf '%s' "$(cd "$state" && pwd)/holder.ready" | tr / '\\')"
    setsid "$winerun" "$holder" "$ready" </dev/null >/dev/null 2>&1 9>&- &
    holder_pid=$!
    echo "$holder_pid" >"$state/holder.pid"
    # The first explorer start of a prefix takes a few seconds, emulated more.
    i=0
    while [ ! -f "$state/holder.ready" ]; do
        i=$((i + 1))
        [ $i -gt 1200 ] && return 1
        kill -0 "$holder_pid" 2>/dev/null || return 1
        sleep 0.05
    done
}
holder_pid=$(cat "$state/holder.pid" 2>/dev/null || true)
if [ -z "$holder_pid" ] || ! kill -0 "$holder_pid" 2>/dev/null; then
    tries=0
    until start_holder; do
        tries=$((tries + 1))
        if [ $tries -ge 30 ]; then
            echo "with-shared-display: Wine's desktop did not come up on $DISPLAY" >&2
            exit 1
        fi
        sleep 1
    done
fi
exec 9>&-
exec "$@"
