#!/usr/bin/env bash
# Fills a new Wine prefix the way the project's programs need it (called by scripts/setup.sh and
# scripts/setup-i686.sh, with WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES set):
#
#   make-wine-prefix.sh <wine64 loader>
#
#   - wineboot, with the GBK code page (zh_CN.UTF-8 gives code page 936);
#   - Desktop, Documents and the rest as real folders: a new prefix links them into $HOME, so
#     shortcuts written by tests would land in the real home folder;
#   - the Song face names mapped to an installed CJK font that draws Latin letters and digits too.
set -euo pipefail
wine64=$1
wineserver=/usr/lib/wine/wineserver
LC_ALL=zh_CN.UTF-8 "$wine64" wineboot -i </dev/null >/dev/null 2>&1 || true
"$wineserver" -w
for d in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$d" ]; then rm "$d"; mkdir -p "$d"; fi
done
for face in 宋体 新宋体 SimSun NSimSun; do
    LC_ALL=zh_CN.UTF-8 "$wine64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
        /d "WenQuanYi Micro Hei" /f </dev/null >/dev/null 2>&1
done
"$wineserver" -w
[ -f "$WINEPREFIX/system.reg" ]
