#!/usr/bin/env bash
# The main job: the whole product on this machine, end to end.
#
#   scripts/demo.sh            on your display when $DISPLAY works (you click "立即安装"),
#                              otherwise on a hidden Xvfb display with "-path" (no clicks)
#   scripts/demo.sh --hidden   always on a hidden display with "-path"
#   scripts/demo.sh --win64    the x86_64 build instead of the shipping i686 one
#   scripts/demo.sh --tamper   flips one byte of the package after it was signed and pinned, and
#                              shows pkgtool check and the installer refusing it
#
# The demo publishes the way a careful publisher does: it makes a throw-away publisher key pair and
# a throw-away code-signing certificate (in build/demo/keys, made anew every run, never committed),
# builds the installer with the public key and signs it with the certificate (Authenticode; a build
# tree of its own, build/demo-<preset>), releases the game with one `pkgtool release` (the package,
# the update list pinning its size and SHA-256, the configuration, both signed) and checks the
# served site with `pkgtool check`.
#
# It builds the shipping (i686) installer, the demo game and its uninstaller, and runs them under
# i386 Wine emulated by qemu-i386, as 32-bit programs on 64-bit Windows; serves the released site
# on 127.0.0.1:8642, the address built into the installer by default; runs the installer under Wine;
# and reports what was installed, where, and that the game started. Then it closes the game and
# stops the server. Everything it makes is in build/demo/ and in the project's Wine prefix.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

hidden=0
preset=win32
tamper=0
for arg in "$@"; do
    case $arg in
    --hidden) hidden=1 ;;
    --win64) preset=win64 ;;
    --tamper) tamper=1 ;;
    *) echo "usage: scripts/demo.sh [--hidden] [--win64] [--tamper]" >&2; exit 2 ;;
    esac
done

say() { printf '\n== %s\n' "$*"; }
started_at=$(date +%s)

scripts/setup.sh
say "Building the installer, the demo game, its uninstaller and pkgtool ($preset; pkgtool for Linux too)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target vellora_setup demo_game demo_uninstaller pkgtool
# pkgtool check fetches with libcurl: it runs where publishers run their release pipelines, on Linux.
cmake --preset native >/dev/null
cmake --build --preset native --target pkgtool

win=$root/build/$preset
demo=$root/build/demo
port=8642
WINEPREFIX=$(sed -n 's/^VELLORA_WINEPREFIX:PATH=//p' "$win/CMakeCache.txt")
export WINEPREFIX
wine() { "$win/wine-run" "$@"; }
wineserver=/usr/lib/wine/wineserver

# A fresh start: programs of this prefix left from an earlier run would keep the demo's Wine desktop
# on a display that may be gone.
"$wineserver" -k 2>/dev/null || true

rm -rf "$demo"
mkdir -p "$demo/game/Vellora/uninstall" "$demo/www/update" "$demo/server" "$demo/keys"
pkgtool() { (cd "$demo" && wine "$win/tools/pkgtool.exe" "$@" </dev/null | tr -d '\r'); }
check() { (cd "$demo" && "$root/build/native/tools/pkgtool" check "$@"); }
# The server sends at 300 KB/s, as over a modest line: the package's download takes a few seconds,
# and the installer decodes the package meanwhile, so the game starts as soon as the last byte is in.
rate=300000

say "Making a throw-away publisher key and code-signing certificate, and building the installer with them"
pkgtool keygen keys/demo.key
scripts/make-codesign-certificate.sh "$demo/keys/codesign"
signed=$root/build/demo-$preset
cmake --preset "$preset" -B "$signed" -DVELLORA_BUILD_TESTS=OFF \
    "-DINSTALLER_PUBLISHER_KEYS=$demo/keys/demo.key.pub" \
    "-DINSTALLER_AUTHENTICODE=$demo/keys/codesign/publisher.p12" \
    "-DINSTALLER_AUTHENTICODE_PASSWORD_FILE=$demo/keys/codesign/publisher.pass" >/dev/null
cmake --build "$signed" --target vellora_setup
installer="$signed/src/app/vellora_setup.exe"
# Signatures are made for the installer's product name: the description names it, and the check
# is told it.
game=$(sed -n 's/^INSTALLER_PRODUCT_NAME:STRING=//p' "$signed/CMakeCache.txt")
echo "   build/demo-$preset/src/app/vellora_setup.exe takes only files signed with keys/demo.key."
if ! osslsigncode verify -CAfile "$demo/keys/codesign/ca.crt" -in "$installer" >"$demo/authenticode.txt" 2>&1; then
    cat "$demo/authenticode.txt" >&2
    echo "   The installer's Authenticode signature does not verify." >&2
    exit 1
fi
signer=$(sed -n 's/^[[:space:]]*Subject: \/CN=\([^/]*\).*/\1/p' "$demo/authenticode.txt" | head -n 1)
echo "   It is Authenticode-signed by \"$signer\", a throw-away certificate: osslsigncode"
echo "   verify against its test CA says \"$(grep -m 1 '^Signature verification' "$demo/authenticode.txt")\"."
echo "   (Windows trusts no such CA; a certificate from a public CA puts your name in the UAC prompt.)"

say "Releasing the demo game with pkgtool release"
cp "$win/demo/demo_game.exe" "$demo/game/Vellora/vellora.exe"
cp "$win/demo/demo_uninstaller.exe" "$demo/game/Vellora/uninstall/uninstall.exe"
# What the configuration says of the game, in UTF-8: pkgtool writes it in GBK with the right
# section and key names. The caption is the demo game's window's; size is in MiB.
cat >"$demo/release.txt" <<DESCRIPTION
game        = Vellora
executable  = vellora.exe
caption     = Vellora
size        = 16
agreement   = http://127.0.0.1:$port/agreement.html
uninstaller = uninstall.exe
publisher   = Vellora Studio
contact     = support@vellora.example
site        = http://127.0.0.1:$port/
key         = keys/demo.key
product     = $game
lifetime    = 90
DESCRIPTION
pkgtool release release.txt game/Vellora -o www
package=$(ls "$demo"/www/update/vellora-*.pak)
cat >"$demo/www/agreement.html" <<'HTML'
<!doctype html><meta charset="utf-8"><title>Vellora user agreement</title>
<h1>Vellora user agreement</h1><p>The demo's stand-in for the publisher's agreement.</p>
HTML
if [ $tamper -eq 1 ]; then
    # One byte in the middle of the package, after it was pinned: what a rewriting proxy does.
    size=$(stat -c %s "$package")
    offset=$((size / 2))
    byte=$(od -An -tu1 -j "$offset" -N1 "$package" | tr -d ' ')
    printf "$(printf '\\%03o' $(( byte ^ 1 )))" | dd of="$package" bs=1 seek="$offset" conv=notrunc 2>/dev/null
    echo "   --tamper: flipped one bit of byte $offset of $(basename "$package") (its signed pin is unchanged)."
fi

xvfb_pid=""
cleanup() {
    python3 tests/support/http_server.py stop --state "$demo/server" >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

say "Serving build/demo/www on http://127.0.0.1:$port/ and checking it with pkgtool check"
if ! python3 tests/support/http_server.py start --state "$demo/server" --root "$demo/www" --port "$port" \
    --rate "$rate" >/dev/null; then
    echo "The demo server could not start: is port $port in use?" >&2
    exit 1
fi
set +e
check "http://127.0.0.1:$port/update/tarnhold.txt" --key keys/demo.key.pub --game "$game" --full | sed 's/^/   /'
checked=${PIPESTATUS[0]}
set -e
if [ $tamper -eq 1 ] && [ "$checked" -eq 1 ]; then
    echo "   pkgtool check caught the tampered package; the installer is run on it all the same."
elif [ "$checked" -ne 0 ]; then
    echo "   pkgtool check found the site broken." >&2
    exit 1
fi

if [ $hidden -eq 0 ] && [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    mode=window
else
    mode=hidden
    rm -f "$demo/xvfb.number"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/xvfb.number" </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$demo/xvfb.number" ] && break; sleep 0.05; done
    DISPLAY=:$(head -n 1 "$demo/xvfb.number")
    export DISPLAY
fi

if [ $preset = win32 ]; then
    echo "   The shipping installer: $(stat -c %s "$installer") bytes, a 32-bit program, run emulated."
fi
# What this run installs is newer than this; an earlier demo installation is not.
touch "$demo/run.stamp"

# When the package's last byte is in, and when the game starts, in the folder the installer uses
# (-path, or the default one a player who just clicks gets).
package_size=$(stat -c %s "$package")
watch_install() {
    local folder=$1 begun downloaded=""
    begun=$(date +%s%N)
    for _ in $(seq 3000); do
        if [ -z "$downloaded" ] && [ "$(stat -c %s "$folder/vellora.pak" 2>/dev/null || echo 0)" -ge "$package_size" ]; then
            downloaded=$(date +%s%N)
        fi
        if [ "$folder/started.txt" -nt "$demo/run.stamp" ]; then
            [ -n "$downloaded" ] && echo "$(( (downloaded - begun) / 1000000 )) $(( ($(date +%s%N) - begun) / 1000000 ))" \
                >"$demo/timing"
            return
        fi
        sleep 0.02
    done
}
rm -f "$demo/timing"
if [ $mode = window ]; then
    say "Starting the installer on your display ($DISPLAY)"
    echo "   Click 立即安装 to install into C:\\Program Files\\Vellora\\ (the system drive's Program Files"
    echo "   folder and the game's name), or 自定义安装 to pick a folder."
    echo "   The installer closes itself once the game has started."
    watch_install "$WINEPREFIX/drive_c/Program Files/Vellora" &
    watcher=$!
    set +e
    wine "$installer" </dev/null >/dev/null 2>&1
    code=$?
    set -e
    kill "$watcher" 2>/dev/null || true
else
    target='C:\Games\Vellora\'
    say "No usable display: starting the installer on a hidden one ($DISPLAY) with -path $target"
    # Nobody is there to press OK on an error box: take a picture of it, then press OK.
    (
        for _ in $(seq 600); do
            box=$(xdotool search --name '^错误$' 2>/dev/null | head -n 1 || true)
            if [ -n "$box" ]; then
                sleep 1
                import -window root "$demo/error-box.png" 2>/dev/null || true
                xdotool mousemove --window "$box" 20 20 click 1 key Return 2>/dev/null || true
                exit 0
            fi
            sleep 0.2
        done
    ) &
    watcher=$!
    watch_install "$WINEPREFIX/drive_c/Games/Vellora" &
    timer=$!
    set +e
    wine "$installer" -path "$target" </dev/null >/dev/null 2>&1
    code=$?
    set -e
    kill "$watcher" 2>/dev/null || true
    wait "$timer" 2>/dev/null || true
fi
echo "   The installer ended with exit code $code."

say "The signatures"
log=$demo/server/server.log
for f in tarnhold.txt.sig list.txt.sig; do
    if grep -q "GET /update/$f" "$log"; then
        echo "   fetched and checked $f"
    else
        echo "   $f was not fetched: this installer checks no signatures" >&2
        exit 1
    fi
done
if [ $tamper -eq 1 ]; then
    [ -f "$demo/error-box.png" ] && echo "   the installer's error box: build/demo/error-box.png"
    if [ "$code" -eq 1 ] && ! [ "$(find "$WINEPREFIX/drive_c/Games/Vellora" -newer "$demo/run.stamp" -name started.txt 2>/dev/null)" ]; then
        echo "   The tampered package was downloaded, failed its pinned SHA-256 and was deleted; nothing"
        echo "   was installed or started, and the installer ended with exit code 1."
        cleanup
        trap - EXIT
        "$wineserver" -k 2>/dev/null || true
        exit 0
    fi
    echo "   The tampered package was not refused." >&2
    exit 1
fi
echo "   the package matched the size and SHA-256 pinned in the signed list"
if [ -f "$demo/timing" ]; then
    read -r downloaded started <"$demo/timing"
    awk -v d="$downloaded" -v s="$started" 'BEGIN {
        printf "   the last byte of the package came %.1f s after the start, and the game ran %.1f s later: the\n", d / 1000, (s - d) / 1000 }'
    echo "   package was decoded while it downloaded; what was left was writing its files, the shortcuts"
    echo "   and the uninstall entry, and the game's own start"
fi

say "What was installed"
# The uninstall entry names the uninstaller, and with it the folder.
# A 32-bit program on 64-bit Windows writes HKLM\Software below WOW6432Node; read the 64-bit view
# to see where it really is.
if [ $preset = win32 ]; then
    uninstall_key='HKLM\Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Vellora'
else
    uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellora'
fi
entry=$(wine reg query "$uninstall_key" /reg:64 </dev/null 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r' || true)
if [ -z "$entry" ]; then
    echo "   No uninstall entry: the installation did not finish." >&2
    exit 1
fi
icon=$(printf '%s\n' "$entry" | sed -n 's/.*DisplayIcon[[:space:]]*REG_EXPAND_SZ[[:space:]]*"\(.*\)"$/\1/p')
windir=${icon%\\uninstall\\*}\\
unixdir=$(realpath "$(wine winepath -u "$windir" </dev/null 2>/dev/null | tr -d '\r')")
echo "   Folder: $windir  ($unixdir)"
(cd "$unixdir" && find . -type f | sed 's|^\./|     |' | sort)
echo "   Uninstall entry: $uninstall_key"
printf '%s\n' "$entry" | grep REG_ | sed 's/^ */     /'
user_dir=$(ls -d "$WINEPREFIX"/drive_c/users/*/ | grep -v /Public/ | head -n 1)
user_dir=${user_dir%/}
echo "   Shortcuts:"
find "$user_dir/Desktop" "$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Vellora" \
    -name '*.lnk' 2>/dev/null | sed "s|^$user_dir|     C:\\\\users\\\\$(basename "$user_dir")|; s|/|\\\\|g"

say "The game"
if [ "$unixdir/started.txt" -nt "$demo/run.stamp" ]; then
    echo "   Started: $unixdir/started.txt says"
    sed 's/\r$//; s/^/     /' "$unixdir/started.txt"
else
    echo "   The game was not started by this run (no new started.txt): the folder above is an earlier installation." >&2
    exit 1
fi
window=""
for _ in $(seq 50); do
    window=$(xdotool search --name '^Vellora$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -n "$window" ]; then
    echo "   Its window \"Vellora\" is open on $DISPLAY (X window $window)."
fi

say "Closing the game and stopping the server"
wine taskkill /im vellora.exe </dev/null >/dev/null 2>&1 || true
for _ in $(seq 50); do [ -f "$unixdir/closed.txt" ] && break; sleep 0.1; done
[ -f "$unixdir/closed.txt" ] && echo "   The game closed when asked (closed.txt)."
cleanup
trap - EXIT
"$wineserver" -k 2>/dev/null || true

cat <<EOF

Done in $(( $(date +%s) - started_at )) s. To uninstall, run the command the uninstall entry holds:
   build/$preset/wine-run '${windir}uninstall\\uninstall.exe' '/U:${windir}uninstall\\uninstall.ini'
(or Wine's own list of installed programs: build/$preset/wine-run uninstaller). Then run this demo again.
EOF
