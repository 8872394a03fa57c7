#!/bin/sh
# Builds the libraries the Windows build links statically, from Debian's own
# sources, with the mingw-w64 cross compiler:
#   libopenmpt (for npmod32.dll; no optional libraries) and libpng (for
#   recordings; on Debian's mingw zlib).
# Usage: cmake/windows-deps.sh PREFIX
# Installs into PREFIX and writes PREFIX/sixscene-deps.stamp when done; a
# second run with the same versions does nothing. The sources come from
# `apt-get source`, which needs a deb-src entry (cmake/windows-packages.sh
# adds one).
set -eu

prefix=${1:?usage: $0 PREFIX}
host=x86_64-w64-mingw32
openmpt=libopenmpt
png=libpng1.6
stamp_text="libopenmpt $(apt-cache showsrc $openmpt 2>/dev/null | sed -n 's/^Version: //p' | head -n1)
libpng $(apt-cache showsrc $png 2>/dev/null | sed -n 's/^Version: //p' | head -n1)
$($host-g++-posix --version | head -n1)
flags 2"
if [ -f "$prefix/sixscene-deps.stamp" ] && [ "$(cat "$prefix/sixscene-deps.stamp")" = "$stamp_text" ]; then
    exit 0
fi

for tool in $host-gcc-posix $host-g++-posix make; do
    command -v $tool >/dev/null || { echo "windows-deps: $tool is missing; run cmake/windows-packages.sh" >&2; exit 1; }
done

mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
work="$prefix/work"
rm -rf "$work" "$prefix/lib" "$prefix/include" "$prefix/sixscene-deps.stamp"
mkdir -p "$work"
cd "$work"

echo "windows-deps: fetching the sources of $openmpt and $png from Debian"
# The newest source first; a mirror may lack a security update's source, and
# then the release's own version is taken.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
fetch() {
    apt-get source -qq "$1" >>source.log 2>&1 || apt-get source -qq "$1/$codename" >>source.log 2>&1
}
if ! fetch $openmpt || ! fetch $png; then
    cat source.log >&2
    echo "windows-deps: 'apt-get source' failed; it needs a deb-src entry for Debian (cmake/windows-packages.sh adds one)" >&2
    exit 1
fi
openmpt_src=$(find . -maxdepth 1 -type d -name 'libopenmpt-*' | head -n1)
png_src=$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)

jobs=${SIXSCENE_DEPS_JOBS:-2}
# No -g: the libraries are large and are only linked.
cross="CC=$host-gcc-posix CXX=$host-g++-posix CFLAGS=-O2 CXXFLAGS=-O2"

echo "windows-deps: building $openmpt_src (a few minutes on two cores)"
mkdir openmpt-build
(cd openmpt-build && env $cross "../$openmpt_src/configure" --host=$host --prefix="$prefix" \
    --enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests \
    --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
    --without-vorbisfile --without-portaudio --without-portaudiocpp --without-sndfile --without-flac \
    >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; })
(cd openmpt-build && make -j"$jobs" >make.log 2>&1 && make install >install.log 2>&1) ||
    { tail -n 30 openmpt-build/make.log >&2; exit 1; }

echo "windows-deps: building $png_src"
mkdir png-build
(cd png-build && env $cross "../$png_src/configure" --host=$host --prefix="$prefix" \
    --enable-static --disable-shared >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; })
(cd png-build && make -j"$jobs" libpng16.la >make.log 2>&1 && make install-libLTLIBRARIES \
    install-nodist_pkgincludeHEADERS install-pkgincludeHEADERS install-header-links \
    install-library-links >install.log 2>&1) ||
    { tail -n 30 png-build/make.log png-build/install.log >&2; exit 1; }

test -f "$prefix/lib/libopenmpt.a" && test -f "$prefix/lib/libpng16.a" && test -f "$prefix/include/png.h"
cd "$prefix"
rm -rf "$work"
printf '%s\n' "$stamp_text" >"$prefix/sixscene-deps.stamp"
echo "windows-deps: done, in $prefix"
