#!/usr/bin/env bash
# The runner of the shipping i686 build, idempotently (called by scripts/setup.sh).
#
# This kernel runs no 32-bit code, so 32-bit Windows programs run emulated: Debian's own i386 Wine
# (the version of the installed wine64) under qemu-i386 in user mode, beside the native wine64.
#   - qemu-i386 10.x, the static binary of bookworm-backports' qemu-user (bookworm's 7.2 live-locks
#     in mmap under Wine);
#   - the i386 Wine userland, unpacked into a private root: nothing is installed system-wide and the
#     host's dpkg state never changes (a private apt configuration resolves and downloads it);
#   - glue so that one prefix serves both: 64-bit processes (wineserver, Wine's services) run
#     natively, 32-bit ones emulated;
#   - binfmt_misc, because Wine re-executes its i386 loader for every new process;
#   - a WoW64-style prefix with the GBK locale, fonts and Desktop folders of the win64 prefix.
# Everything comes from Debian's package registry. Lands in $deps/i686 and $deps/wineprefix32.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=${VELLORA_DEPS:-$here/.deps}
# Resolved: a clone whose .deps/i686 links to another clone's shares that runner, and with it the
# one binfmt_misc entry, which must keep naming the same interpreter.
top=$(realpath -m "$deps/i686")
root=$top/root
qemu=$top/qemu-i386
prefix=$deps/wineprefix32
started=$(date +%s)

log() { printf '[setup i686] %s\n' "$*"; }
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

wine_version=$(dpkg-query -W -f='${Version}' wine64)
qemu_series=10.
mkdir -p "$top"

# ---------------------------------------------------------------- private apt
# Its own state, lists and cache; the host's sources plus bookworm-backports (for qemu-user 10).
apt_dir=$top/apt
private_apt() {
    mkdir -p "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources" \
        "$apt_dir/preferences"
    : >"$apt_dir/state/status"
    rm -f "$apt_dir/sources/"*
    local mirror=""
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        case $(basename "$f") in vellora-*) continue ;; esac
        # Binary entries only: source indices would only slow the update down.
        if [[ $f == *.sources ]]; then
            grep -q '^Types:.*\bdeb\b' "$f" || continue
            sed 's/^Types:.*/Types: deb/' "$f" >"$apt_dir/sources/$(basename "$f")"
            [ -n "$mirror" ] || mirror=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\/debian\/\?\)$/\1/p' "$f" | head -n 1)
        else
            grep '^deb ' "$f" >"$apt_dir/sources/$(basename "$f")" || true
            [ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(\[[^]]*\] \)\?\([^ ]*\/debian\/\?\) bookworm .*/\2/p' "$f" | head -n 1)
        fi
    done
    mirror=${mirror:-http://deb.debian.org/debian}
    cat >"$apt_dir/sources/backports.sources" <<SRC
Types: deb
URIs: $mirror
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    cat >"$apt_dir/apt.conf" <<CONF
Dir::State "$apt_dir/state";
Dir::State::status "$apt_dir/state/status";
Dir::Cache "$apt_dir/cache";
Dir::Etc::sourcelist "/dev/null";
Dir::Etc::sourceparts "$apt_dir/sources";
Dir::Etc::preferencesparts "$apt_dir/preferences";
APT::Architecture "i386";
APT::Architectures { "i386"; "amd64"; };
APT::Install-Recommends "false";
APT::Install-Suggests "false";
APT::Sandbox::User "root";
CONF
    export APT_CONFIG=$apt_dir/apt.conf
    local t=$(date +%s)
    apt-get update -qq
    log "package lists: $(( $(date +%s) - t )) s"
}
apt_ready=0
ensure_apt() {
    if [ $apt_ready -eq 0 ]; then
        private_apt
        apt_ready=1
    fi
}

# ---------------------------------------------------------------- qemu-i386
if [ -x "$qemu" ] && "$qemu" --version | head -n 1 | grep -q "version $qemu_series"; then
    log "qemu-i386 present ($("$qemu" --version | head -n 1 | awk '{print $3}'))"
else
    ensure_apt
    version=$(apt-cache madison qemu-user:amd64 | awk -F'|' '{gsub(/ /,"",$2); print $2}' |
        grep "^1:$qemu_series" | head -n 1 || true)
    if [ -z "$version" ]; then
        echo "[setup i686] no qemu-user $qemu_series* in the package registry (bookworm-backports)" >&2
        exit 1
    fi
    log "fetching qemu-user $version"
    work=$(mktemp -d)
    (cd "$work" && apt-get download -qq "qemu-user:amd64=$version" && dpkg-deb -x qemu-user_*.deb x)
    install -m 755 "$work/x/usr/bin/qemu-i386" "$qemu"
    rm -rf "$work"
fi

# ---------------------------------------------------------------- i386 Wine root
if [ -f "$root/.vellora-wine" ] && [ "$(cat "$root/.vellora-wine")" = "$wine_version" ]; then
    log "i386 Wine $wine_version present"
else
    ensure_apt
    log "fetching i386 Wine $wine_version and what it needs"
    rm -rf "$root" "$top/debs"
    mkdir -p "$root" "$top/debs"
    apt-get -s install "wine32=$wine_version" 2>/dev/null |
        sed -n 's/^Inst \([^ ]*\) (\([^ ]*\) .*\[\([a-z0-9]*\)\]).*$/\1:\3=\2/p' >"$top/debs/list"
    if ! grep -q '^wine32:i386=' "$top/debs/list"; then
        echo "[setup i686] apt cannot resolve wine32=$wine_version for i386" >&2
        exit 1
    fi
    (cd "$top/debs" && xargs apt-get download -qq <list)
    log "unpacking $(wc -l <"$top/debs/list") packages"
    for deb in "$top"/debs/*.deb; do dpkg-deb -x "$deb" "$root"; done
    rm -rf "$top/debs"
    # The i386 loader finds its libraries through the root's own cache (qemu maps /etc into it).
    echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
    as_root ldconfig -r "$root"
    # Glue: the native 64-bit loader beside the i386 one, and one dll tree holding both halves.
    cp /usr/lib/wine/wine64 "$root/usr/lib/wine/wine64"
    glue=$root/usr/lib/x86_64-linux-gnu/wine
    mkdir -p "$glue"
    ln -sfn /usr/lib/x86_64-linux-gnu/wine/x86_64-unix "$glue/x86_64-unix"
    ln -sfn /usr/lib/x86_64-linux-gnu/wine/x86_64-windows "$glue/x86_64-windows"
    ln -sfn ../../i386-linux-gnu/wine/i386-unix "$glue/i386-unix"
    ln -sfn ../../i386-linux-gnu/wine/i386-windows "$glue/i386-windows"
    echo "$wine_version" >"$root/.vellora-wine"
    rm -f "$prefix/.vellora-ready"  # a prefix belongs to the Wine that made it
fi

# ---------------------------------------------------------------- binfmt_misc
# Kernel state: lost at every boot, so checked on every run.
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/vellora-i386
if [ ! -f "$binfmt/register" ]; then
    as_root mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ -f "$entry" ] && grep -qx "interpreter $qemu" "$entry" && grep -qx enabled "$entry"; then
    log "binfmt_misc entry present"
else
    log "registering i386 ELF with $qemu (binfmt_misc)"
    [ -f "$entry" ] && echo -1 | as_root tee "$entry" >/dev/null
    # The usual qemu-i386 magic and mask; F opens the interpreter now, so it works in any mount
    # namespace later.
    printf ':vellora-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:%s:F\n' \
        "$qemu" | as_root tee "$binfmt/register" >/dev/null
fi

# ---------------------------------------------------------------- the WoW64 prefix
export QEMU_LD_PREFIX=$root
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
wine64=$root/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

if [ ! -f "$prefix/.vellora-ready" ]; then
    log "creating the WoW64 Wine prefix in $prefix"
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$prefix"
    # Debian's Wine 8 user32 imports zlib1.dll and does not find it in a new prefix.
    mkdir -p "$prefix/drive_c/windows/system32" "$prefix/drive_c/windows/syswow64"
    cp "$root/usr/x86_64-w64-mingw32/lib/zlib1.dll" "$prefix/drive_c/windows/system32/"
    cp "$root/usr/i686-w64-mingw32/lib/zlib1.dll" "$prefix/drive_c/windows/syswow64/"
    if ! "$here/scripts/make-wine-prefix.sh" "$wine64"; then
        echo "[setup i686] wineboot made no prefix in $prefix" >&2
        exit 1
    fi
    touch "$prefix/.vellora-ready"
else
    log "WoW64 Wine prefix present"
fi

log "ready in $(( $(date +%s) - started )) s"
