#!/bin/sh
# Installs what cross-building Sixscene for Windows needs on Debian 12, and
# what testing it under Wine needs: the mingw-w64 compiler (posix threads),
# Debian's mingw zlib, Wine, Xvfb, xdotool and ImageMagick. Adds a deb-src
# entry for Debian when there is none, so that cmake/windows-deps.sh can
# fetch the sources of libopenmpt and libpng with `apt-get source`.
# Usage: cmake/windows-packages.sh [build]   ("build": only what building needs)
# Runs as root, or through sudo.
set -e
packages="cmake ninja-build g++ make dpkg-dev g++-mingw-w64-x86-64-posix libz-mingw-w64-dev"
if [ "${1:-}" != build ]; then
    packages="$packages wine64 xvfb xauth xdotool imagemagick"
fi
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi

updated=""
if ! apt-cache showsrc libopenmpt 2>/dev/null | grep -q '^Version:'; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    echo "Adding a deb-src entry for Debian $codename"
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$codename" | $as_root tee /etc/apt/sources.list.d/sixscene-debian-src.sources >/dev/null
    $as_root apt-get update -qq
    updated=1
fi

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    [ -n "$updated" ] || $as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing >/dev/null
fi
