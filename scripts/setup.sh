#!/usr/bin/env bash
# Installs everything the project needs on a Debian 12 machine, idempotently:
#   - the Debian packages (cross compilers, Wine, Xvfb, fonts, test tools, libcurl and nginx for
#     pkgtool check and its tests), and osslsigncode 2.9 from bookworm-backports (Authenticode);
#   - liblzma for both mingw targets, cross-built from Debian's xz-utils source;
#   - a Wine prefix for the project (GBK code page, CJK font mapping, no Mono/Gecko prompts);
#   - the runner of the shipping i686 build: i386 Wine under qemu-i386 with a WoW64 prefix of its
#     own (scripts/setup-i686.sh);
#   - TLS certificates for the test server's https listeners, and the machine's trust in their
#     test CA (which may only vouch for localhost and 127.0.0.1).
# GoogleTest for mingw is built by CMake from Debian's /usr/src/googletest.
#
# Everything lands in $VELLORA_DEPS (default: .deps inside the clone, ignored by git).
# Re-running skips every step that is already done.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=${VELLORA_DEPS:-$here/.deps}
mkdir -p "$deps"

log() { printf '[setup] %s\n' "$*"; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ---------------------------------------------------------------- packages
packages=(
    cmake ninja-build make dpkg-dev xz-utils
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    googletest libgtest-dev liblzma-dev clang libclang-rt-14-dev
    wine64 libgnutls30 fonts-wine
    libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1
    xvfb xauth xdotool imagemagick
    locales fonts-wqy-microhei ca-certificates openssl
    python3 python3-pil time libssl-dev libcurl4-openssl-dev nginx
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

need_src=0
grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list || need_src=1
grep -rqs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/ && need_src=0

if [ "$need_src" -eq 1 ]; then
    log "adding a deb-src entry for bookworm"
    as_root tee /etc/apt/sources.list.d/vellora-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi

# osslsigncode signs the installer (Authenticode). Bookworm's own 2.5 is older than the 2.9 of
# bookworm-backports, the version the build and its tests were verified with; only this one
# package is taken from backports.
backports=/etc/apt/sources.list.d/vellora-backports.sources
osslsigncode_version=$(dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null || true)
need_osslsigncode=0
if [ -z "$osslsigncode_version" ] || ! dpkg --compare-versions "$osslsigncode_version" ge 2.9; then
    need_osslsigncode=1
    if [ ! -f "$backports" ]; then
        log "adding bookworm-backports (for osslsigncode 2.9 only)"
        as_root tee "$backports" >/dev/null <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    fi
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" -eq 1 ] || [ "$need_osslsigncode" -eq 1 ]; then
    log "installing: ${missing[*]:-} $([ "$need_osslsigncode" -eq 1 ] && echo osslsigncode/bookworm-backports)"
    as_root apt-get update -qq
    if [ "${#missing[@]}" -gt 0 ]; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    if [ "$need_osslsigncode" -eq 1 ]; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            osslsigncode/bookworm-backports >/dev/null
    fi
else
    log "Debian packages present"
fi

# The zh_CN.UTF-8 locale gives Wine the GBK code page (936) and lets Chinese text pass on command lines.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
    log "generating locale zh_CN.UTF-8"
    as_root sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi

# HTTPS tests use "https://localhost"; WinINet refuses an IP address against a host certificate.
grep -Eq '^127\.0\.0\.1[[:space:]].*\blocalhost\b' /etc/hosts || echo '127.0.0.1 localhost' | as_root tee -a /etc/hosts >/dev/null

# ---------------------------------------------------------------- liblzma for mingw
build_lzma() {
    local triple=$1
    local prefix=$deps/$triple
    if [ -f "$prefix/lib/liblzma.a" ] && [ -f "$prefix/include/lzma.h" ]; then
        log "liblzma for $triple present"
        return
    fi
    local src
    src=$(ls -d "$deps"/src/xz-utils-*/ 2>/dev/null | head -n 1 || true)
    if [ -z "$src" ]; then
        log "fetching Debian's xz-utils source package"
        mkdir -p "$deps/src"
        (cd "$deps/src" && apt-get source -qq xz-utils >/dev/null 2>&1)
        src=$(ls -d "$deps"/src/xz-utils-*/ | head -n 1)
    fi
    log "building liblzma for $triple"
    local tc=$deps/src/toolchain-$triple.cmake
    cat >"$tc" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC
    local bdir=$deps/build/xz-$triple
    rm -rf "$bdir"
    cmake -S "$src" -B "$bdir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build "$bdir" --target liblzma >/dev/null
    cmake --install "$bdir" --component liblzma_Runtime >/dev/null
    cmake --install "$bdir" --component liblzma_Development >/dev/null
    rm -rf "$bdir"
}
build_lzma x86_64-w64-mingw32
build_lzma i686-w64-mingw32

# ---------------------------------------------------------------- test certificates
# The local test server's https listeners (tests/support/http_server.py --tls-dir) use:
#   server.crt     "localhost", issued by a test CA that this machine is made to trust. The CA is
#                  name-constrained to localhost and 127.0.0.1, and its key is deleted once the one
#                  certificate is issued, so the trust it gets cannot serve any other host.
#   untrusted.crt  a self-signed "localhost" certificate that nobody trusts.
# Wine's WinINet checks certificates against the system's store (/etc/ssl/certs).
tls=$deps/tls
make_test_certificates() {
    if [ -f "$tls/ca.crt" ] && [ -f "$tls/server.crt" ] && [ -f "$tls/server.key" ] \
        && [ -f "$tls/untrusted.crt" ] && [ -f "$tls/untrusted.key" ]; then
        log "test certificates present"
        return
    fi
    log "making the test certificates in $tls"
    rm -rf "$tls"
    mkdir -p "$tls"
    local work
    work=$(mktemp -d)
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -keyout "$work/ca.key" -out "$tls/ca.crt" \
        -subj "/CN=Vellora test CA (localhost only)" \
        -addext "basicConstraints=critical,CA:TRUE,pathlen:0" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -addext "nameConstraints=critical,permitted;DNS:localhost,permitted;IP:127.0.0.1/255.255.255.255" \
        2>/dev/null
    openssl req -new -newkey rsa:2048 -nodes -keyout "$tls/server.key" -out "$work/server.csr" \
        -subj "/CN=localhost" 2>/dev/null
    cat >"$work/server.ext" <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,IP:127.0.0.1
EXT
    openssl x509 -req -in "$work/server.csr" -CA "$tls/ca.crt" -CAkey "$work/ca.key" \
        -CAserial "$work/ca.srl" -CAcreateserial \
        -days 3650 -extfile "$work/server.ext" -out "$tls/server.crt" 2>/dev/null
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -keyout "$tls/untrusted.key" -out "$tls/untrusted.crt" \
        -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
    rm -rf "$work"
}
make_test_certificates

# One file per clone (named after its .deps path), so clones on one machine keep their own CAs.
trusted=/usr/local/share/ca-certificates/vellora-test-$(printf '%s' "$deps" | sha1sum | cut -c1-12).crt
if cmp -s "$tls/ca.crt" "$trusted"; then
    log "test CA trusted"
else
    log "trusting the test CA ($trusted)"
    as_root install -m 644 "$tls/ca.crt" "$trusted"
    as_root update-ca-certificates >/dev/null 2>&1
fi

# ---------------------------------------------------------------- Wine prefix
export WINEPREFIX=$deps/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
wine=/usr/lib/wine/wine64

if [ ! -f "$WINEPREFIX/.vellora-ready" ]; then
    log "creating the Wine prefix in $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    "$here/scripts/make-wine-prefix.sh" "$wine"
    touch "$WINEPREFIX/.vellora-ready"
else
    log "Wine prefix present"
fi

# ---------------------------------------------------------------- the i686 runner
"$here/scripts/setup-i686.sh"

log "done"
