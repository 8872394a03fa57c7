#!/bin/sh
# Installs what building Sixscene for the browser (WebAssembly) needs on
# Debian 12: Debian's emscripten (its compilers, clang, lld, binaryen, node's
# acorn), and the tools that fetch and build libopenmpt from Debian's sources
# (cmake/web-deps.sh). The native build, which writes the show's data and the
# reference frames, needs scripts/install-deps as well.
# When no deb-src entry is configured, adds one made from the machine's own
# Debian entries (the same addresses and suites, as deb-src), so that
# `apt-get source libopenmpt` works.
# Usage: cmake/web-packages.sh
# Runs as root, or through sudo.
set -e
packages="cmake ninja-build g++ make dpkg-dev xz-utils emscripten"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi
apt_get="apt-get -o DPkg::Lock::Timeout=600"

# Prints deb822 stanzas of Types: deb-src for every configured deb entry of
# this release (its own suite and suite-*: updates, security), from both the
# one-line and the deb822 formats. Other vendors' entries are left out: they
# seldom carry sources, and apt-get update would fail on them.
derive_deb_src() {
    codename=$1
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        # deb [options] URI suite component...
        awk -v codename="$codename" '
            $1 == "deb" {
                i = 2
                signed = ""
                if ($i ~ /^\[/) {
                    while (i <= NF) {
                        opt = $i; gsub(/[][]/, "", opt)
                        if (opt ~ /^signed-by=/) { signed = opt; sub(/^signed-by=/, "", signed) }
                        if ($i ~ /\]$/) { i++; break }
                        i++
                    }
                }
                uri = $i; suite = $(i + 1)
                if (suite != codename && index(suite, codename "-") != 1) next
                comps = ""
                for (j = i + 2; j <= NF; j++) { if ($j ~ /^#/) break; comps = comps (comps == "" ? "" : " ") $j }
                printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", uri, suite, comps
                if (signed != "") printf "Signed-By: %s\n", signed
                printf "\n"
            }' "$f"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        # One stanza per paragraph; continuation lines (Signed-By with an
        # inline key) are not copied: a file name is all we pass on.
        awk -v codename="$codename" '
            function flush(   n, s, list, k, out) {
                if (types ~ /(^| )deb( |$)/ && enabled != "no" && uris != "") {
                    n = split(suites, s, " ")
                    list = ""
                    for (k = 1; k <= n; k++)
                        if (s[k] == codename || index(s[k], codename "-") == 1) list = list (list == "" ? "" : " ") s[k]
                    if (list != "") {
                        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", uris, list, comps
                        if (signed != "" && signed !~ /BEGIN/) printf "Signed-By: %s\n", signed
                        printf "\n"
                    }
                }
                types = uris = suites = comps = signed = enabled = ""
            }
            /^[ \t]*$/ { flush(); next }
            /^#/ || /^[ \t]/ { next }
            {
                key = tolower($1); sub(/:$/, "", key)
                value = $0; sub(/^[^:]*:[ \t]*/, "", value)
                if (key == "types") types = value
                else if (key == "uris") uris = value
                else if (key == "suites") suites = value
                else if (key == "components") comps = value
                else if (key == "signed-by") signed = value
                else if (key == "enabled") enabled = tolower(value)
            }
            END { flush() }' "$f"
    done
}

updated=""
if ! apt-cache showsrc libopenmpt 2>/dev/null | grep -q '^Version:'; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || { echo "web-packages: no VERSION_CODENAME in /etc/os-release" >&2; exit 1; }
    entries=$(derive_deb_src "$codename")
    if [ -z "$entries" ]; then
        echo "web-packages: no deb entry for $codename is configured to derive a deb-src entry from" >&2
        exit 1
    fi
    echo "Adding deb-src entries beside the configured deb entries for $codename"
    printf '%s\n' "$entries" | $as_root tee /etc/apt/sources.list.d/sixscene-web-src.sources >/dev/null
    $as_root $apt_get update -qq
    updated=1
fi

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    [ -n "$updated" ] || $as_root $apt_get update -qq
    # Without recommends: emscripten's (numpy, d3) serve tools we do not use.
    DEBIAN_FRONTEND=noninteractive $as_root $apt_get install -y -qq --no-install-recommends $missing >/dev/null
fi
