#!/usr/bin/env bash
# Creates the Wine prefix that the tests share, or reuses one made by the same Wine.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
stamp="$prefix/.corvanta-prefix"
# Bump the recipe when this script changes what a prefix holds, so old prefixes are remade.
version="$(wine --version) recipe 3"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
  exit 0
fi
rm -rf "$prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
# Wine's own fonts, Tahoma (the setup's window font) and Marlett (the caption buttons) among
# them: this Wine does not find them by itself and would substitute wider fonts.
cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
# Xvfb has no window manager: Wine then draws the title bars itself and decides activation.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
echo "$version" > "$stamp"
echo "created Wine prefix $prefix"
