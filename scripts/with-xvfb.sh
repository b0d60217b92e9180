#!/bin/sh
# Runs a command with an X display of its own: a fresh Xvfb on a free display number, so GUI tests
# can run side by side. Xvfb picks the number itself (-displayfd), so nothing can collide.
# With VELLORA_DISPLAY set, that display is used instead and no server is started.
set -u
if [ -n "${VELLORA_DISPLAY:-}" ]; then
    DISPLAY=$VELLORA_DISPLAY exec "$@"
fi
fifo_dir=$(mktemp -d)
trap 'rm -rf "$fifo_dir"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo_dir/display" >/dev/null 2>&1 &
xvfb=$!
i=0
while [ ! -s "$fifo_dir/display" ]; do
    i=$((i + 1))
    if [ $i -gt 200 ] || ! kill -0 $xvfb 2>/dev/null; then
        echo "with-xvfb: Xvfb did not start" >&2
        exit 1
    fi
    sleep 0.05
done
DISPLAY=:$(head -n 1 "$fifo_dir/display")
export DISPLAY
"$@"
rc=$?
kill $xvfb 2>/dev/null
wait $xvfb 2>/dev/null
exit $rc
