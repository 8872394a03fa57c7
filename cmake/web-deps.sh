#!/bin/sh
# Builds libopenmpt for WebAssembly from Debian's own sources with Debian's
# emscripten (no optional libraries: no zlib, mpg123, ogg or vorbis), as a
# static library with its headers.
# Usage: cmake/web-deps.sh [PREFIX]
# PREFIX defaults to $SIXSCENE_WEB_DEPS, else ~/.cache/sixscene/emscripten-deps.
# Installs into PREFIX and writes PREFIX/sixscene-deps.stamp when done; a
# second run with the same versions does nothing. The sources come from
# `apt-get source`, which needs a deb-src entry (cmake/web-packages.sh adds
# one made from the machine's own sources).
#
# Programs that link the library must link with -fexceptions: libopenmpt
# reports a bad module by throwing, and its C interface catches.
set -eu

prefix=${1:-${SIXSCENE_WEB_DEPS:-${HOME:?}/.cache/sixscene/emscripten-deps}}
openmpt=libopenmpt
# Debian's node is not always the node on the PATH; emcc's JavaScript tools
# need Debian's acorn either way.
NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
export NODE_PATH

for tool in emcc em++ emar emranlib make apt-get; do
    command -v $tool >/dev/null || { echo "web-deps: $tool is missing; run cmake/web-packages.sh" >&2; exit 1; }
done
flags="-O2 -fexceptions"
stamp_text="libopenmpt $(apt-cache showsrc $openmpt 2>/dev/null | sed -n 's/^Version: //p' | head -n1)
$(emcc --version 2>/dev/null | head -n1)
flags $flags"
if [ -f "$prefix/sixscene-deps.stamp" ] && [ "$(cat "$prefix/sixscene-deps.stamp")" = "$stamp_text" ]; then
    exit 0
fi

mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
work="$prefix/work"
rm -rf "$work" "$prefix/lib" "$prefix/include" "$prefix/sixscene-deps.stamp"
mkdir -p "$work"
cd "$work"
started=$(date +%s)

echo "web-deps: fetching the sources of $openmpt from Debian"
if ! apt-get source -qq $openmpt >source.log 2>&1; then
    cat source.log >&2
    echo "web-deps: 'apt-get source' failed; it needs a deb-src entry (cmake/web-packages.sh adds one)" >&2
    exit 1
fi
openmpt_src=$(find . -maxdepth 1 -type d -name 'libopenmpt-*' | head -n1)

jobs=${SIXSCENE_DEPS_JOBS:-2}
# The source's config.sub predates emscripten's own triplet; the generic
# wasm32 one makes configure cross-compile (it runs nothing it builds).
# PKG_CONFIG=false: nothing of the build machine's may be picked up.
cross="CC=emcc CXX=em++ AR=emar RANLIB=emranlib PKG_CONFIG=false"

echo "web-deps: building $openmpt_src with $(emcc --version | head -n1) (several minutes on two cores)"
mkdir openmpt-build
(cd openmpt-build && env $cross CFLAGS="$flags" CXXFLAGS="$flags" "../$openmpt_src/configure" \
    --host=wasm32-unknown-none --prefix="$prefix" \
    --enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests \
    --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
    --without-vorbisfile --without-portaudio --without-portaudiocpp --without-sndfile --without-flac \
    >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; })
(cd openmpt-build && make -j"$jobs" >make.log 2>&1 && make install >install.log 2>&1) ||
    { tail -n 30 openmpt-build/make.log openmpt-build/install.log >&2; exit 1; }

test -f "$prefix/lib/libopenmpt.a" && test -f "$prefix/include/libopenmpt/libopenmpt.h"
cd "$prefix"
rm -rf "$work" "$prefix/lib/libopenmpt.la" "$prefix/share"
printf '%s\n' "$stamp_text" >"$prefix/sixscene-deps.stamp"
echo "web-deps: done in $(( $(date +%s) - started )) s, in $prefix"
