#!/bin/sh
# Redraws the skin and regenerates docs/skin-contact-sheet.png from the resources the installer
# executable carries: make_skin.py, the win64 build, skin_contact_sheet under Wine, then a PNG
# without time stamps (ImageMagick), so an unchanged skin gives an unchanged file.
set -eu
cd "$(dirname "$0")/.."
/usr/bin/python3 res/make_skin.py
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target skin_contact_sheet
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
bmp=$PWD/build/win64/testrun/skin-contact-sheet.bmp
build/win64/wine-run build/win64/src/app/skin_contact_sheet.exe \
    "$(windows_path "$PWD/build/win64/src/app/vellora_setup.exe")" "$(windows_path "$bmp")"
mkdir -p docs
convert "$bmp" -strip docs/skin-contact-sheet.png
echo "wrote docs/skin-contact-sheet.png"
