#!/usr/bin/env bash
# Installs the tools the build and the tests need, and does nothing when they are all there.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd ninja || need+=(ninja-build)
have_cmd i686-w64-mingw32-g++-win32 || need+=(g++-mingw-w64-i686-win32)
have_pkg mingw-w64-i686-dev || need+=(mingw-w64-i686-dev)
have_cmd Xvfb || need+=(xvfb)
have_cmd xauth || need+=(xauth)
have_cmd xwd || need+=(x11-apps)
have_cmd xwininfo || need+=(x11-utils)
have_pkg imagemagick || need+=(imagemagick)
have_cmd openssl || need+=(openssl)
have_cmd ip || need+=(iproute2)
have_cmd unshare || need+=(util-linux)
have_cmd python3 || need+=(python3)
have_cmd clang++ || need+=(clang)
have_pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)
have_cmd osslsigncode || need+=(osslsigncode)
[ -x /usr/sbin/squid ] || need+=(squid)
have_pkg fonts-wine || need+=(fonts-wine)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg libssl-dev || need+=(libssl-dev)

wine_missing=0
have_cmd wine || wine_missing=1
have_pkg wine32:i386 || wine_missing=1
have_pkg wine64 || wine_missing=1

if [ ${#need[@]} -eq 0 ] && [ $wine_missing -eq 0 ]; then
  exec "$(dirname "$0")/enable-ia32.sh"
fi

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
if [ $wine_missing -eq 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  need+=(wine wine64 wine32:i386)
fi
echo "Installing: ${need[*]}" >&2
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null

exec "$(dirname "$0")/enable-ia32.sh"
