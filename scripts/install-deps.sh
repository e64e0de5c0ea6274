#!/usr/bin/env bash
# Installs the Debian packages the build, the program under Wine and the tests need (never
# calling apt when everything is already there), then makes sure 32-bit programs run here
# (scripts/i386-route.sh). `locales` brings the sources of the Japanese locale the Wine
# sessions make for themselves (scripts/wine-session.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

need_i386=0
missing=()
want=(cmake ninja-build g++ mingw-w64 wine wine64 xvfb x11-utils xauth cups cups-bsd
      printer-driver-cups-pdf poppler-utils fonts-ipafont imagemagick libgtest-dev
      clang libclang-rt-14-dev python3 python3-xlib fonts-wine scrot time procps
      locales)
# The 32-bit Wine loader and the libraries it loads at run time for printing and the X display.
want_i386=(wine32 libcups2 libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3 libxinerama1
           libxcomposite1)
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
for p in "${want_i386[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p:i386" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$p:i386")
        need_i386=1
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
"$here/i386-route.sh"
