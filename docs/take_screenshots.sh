#!/usr/bin/env bash
# Takes the README's screenshots of the installer from the real window, on a hidden Xvfb display:
# the three pages (docs/screenshot-start.png, docs/screenshot-custom.png,
# docs/screenshot-progress.png), the start page driven by the keyboard with its focus mark
# (docs/screenshot-keyboard.png), and the start page on a display at 200 %
# (docs/screenshot-start-200.png).
#
#   docs/take_screenshots.sh        (after scripts/setup.sh)
#
# The installer fetches its configuration from the built-in demo address (127.0.0.1:8642), so this
# serves one there. The update list points at a package that arrives slowly and stops at 37%, so
# the progress page can be taken mid-download; the run is then cancelled. The prefix is set as a
# Windows installed with its defaults is (Wine always shows keyboard cues; Windows shows them from
# the first Tab), and back afterwards.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
port=8642

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target vellora_setup >/dev/null
win=$root/build/win64
work=$root/build/screenshots
WINEPREFIX=$(sed -n 's/^VELLORA_WINEPREFIX:PATH=//p' "$win/CMakeCache.txt")
export WINEPREFIX
/usr/lib/wine/wineserver -k 2>/dev/null || true

rm -rf "$work"
mkdir -p "$work/www/update"
printf '%s\r\n' '[setup]' 'gamename=Vellora' 'exefilename=vellora.exe' 'ProductTitle=Vellora' 'size=16' \
    "urlAgreement=http://127.0.0.1:$port/agreement.html" 'uninstname=uninstall.exe' \
    'Publisher=Vellora Studio' 'Contact=support@vellora.example' '[config]' \
    "1.0=http://127.0.0.1:$port/update/list.txt" >"$work/www/update/tarnhold.txt"
# Six 64 KiB blocks (37% of the package) at once, then one byte every ten minutes.
printf '%s\r\n' '[list0]' 'action=3' \
    "srcfile=http://127.0.0.1:$port/fault/body?size=1062746&length=1062746&first=393216&chunk=1&delay=600000" \
    'destfile=vellora.pak' 'cmd=DEC' >"$work/www/update/list.txt"

desktop='HKCU\Control Panel\Desktop'
reg() { "$win/wine-run" reg "$@" >/dev/null 2>&1; }
mask=$("$win/wine-run" reg query "$desktop" /v UserPreferencesMask 2>/dev/null |
    sed -n 's/.*REG_BINARY *\([0-9A-Fa-f]*\).*/\1/p' | tr -d '\r')
xvfb_pid=""
installer_pid=""
cleanup() {
    [ -n "$installer_pid" ] && kill "$installer_pid" 2>/dev/null || true
    python3 tests/support/http_server.py stop --state "$work" >/dev/null 2>&1 || true
    reg delete "$desktop" /v LogPixels /f || true
    [ -n "$mask" ] && reg add "$desktop" /v UserPreferencesMask /t REG_BINARY /d "$mask" /f || true
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
python3 tests/support/http_server.py start --state "$work" --root "$work/www" --port "$port" >/dev/null
# The keyboard-cues bit (0x20 of the first byte) cleared, as on a Windows with its defaults.
if [ -n "$mask" ]; then
    first=$(printf '%02X' $((0x${mask:0:2} & ~0x20 & 0xFF)))
    reg add "$desktop" /v UserPreferencesMask /t REG_BINARY /d "$first${mask:2}" /f
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/xvfb.number" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/xvfb.number" ] && break; sleep 0.05; done
DISPLAY=:$(head -n 1 "$work/xvfb.number")
export DISPLAY

# Starts the installer (at `dpi` dots per inch, Wine's LogPixels) and waits for its window.
start_installer() {
    local dpi=$1
    if [ "$dpi" = 96 ]; then
        reg delete "$desktop" /v LogPixels /f || true
    else
        reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f
    fi
    "$win/wine-run" "$win/src/app/vellora_setup.exe" </dev/null >/dev/null 2>&1 &
    installer_pid=$!
    window=""
    for _ in $(seq 200); do
        window=$(xdotool search --onlyvisible --classname vellora_setup.exe 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the installer window did not appear" >&2; exit 1; }
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT
}
# Waits for the installer's end (its last key or click ends it).
end_installer() {
    wait "$installer_pid" || true
    installer_pid=""
}
shot() {
    sleep 1.5
    import -window root "$work/root.png"
    convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip "docs/screenshot-$1.png"
    echo "docs/screenshot-$1.png (${WIDTH} x ${HEIGHT})"
}
click() {  # client coordinates of the window
    xdotool mousemove --window "$window" "$1" "$2" click 1
}
key() {  # to the installer's window: X gives keys to the window it focuses
    xdotool windowfocus --sync "$window"
    xdotool key "$@"
    sleep 0.3
}

xdotool mousemove 0 0
start_installer 96
shot start
click 393 281   # 自定义安装
shot custom
click 229 236   # 立即安装
sleep 3         # until the download has reached its 37%
shot progress
click 407 281   # 取消安装: the cancelled download ends the installer
end_installer

# By the keyboard: Tab past install, the agreement box and the agreement link to custom install.
xdotool mousemove 0 0
start_installer 96
key Tab Tab Tab
shot keyboard
key Escape      # the close button: before the installation it ends the installer
end_installer

start_installer 192
shot start-200
key Escape
end_installer
