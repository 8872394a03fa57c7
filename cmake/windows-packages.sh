#!/bin/sh
# Installs what cross-building Sixscene for Windows needs on Debian 12, and
# what testing it under Wine needs: the mingw-w64 compiler (posix threads),
# Debian's mingw zlib, Wine, Xvfb, xdotool and ImageMagick. When apt knows
# no sources for libopenmpt, adds deb-src entries made from the machine's
# own Debian deb entries (the same addresses, suites, components and
# keyrings), so that cmake/windows-deps.sh can fetch the sources of
# libopenmpt and libpng with `apt-get source`.
# Usage: cmake/windows-packages.sh [build]   ("build": only what building needs)
#        cmake/windows-packages.sh --print-deb-src   (show the entries it would add)
# Runs as root, or through sudo.
set -e

# The deb entries of this machine's Debian sources for release $1 (suites
# "$1", "$1-*", "$1/*", or the same of stable, testing, unstable or sid), one a line: URI, suite, components, Signed-By and
# Trusted, separated by tabs (a Signed-By that spans lines has them joined
# by \001). From the deb822 files (*.sources) and the one-line ones
# (sources.list, *.list) that apt reads; disabled and commented-out entries
# are left out.
debian_deb_entries() {
    release=$1
    for f in "$apt_parts"*.sources; do
        [ -f "$f" ] && { cat "$f"; echo; }
    done | awk -v release="$release" '
        function ours(suite,   base) {
            base = suite; sub(/[-\/].*/, "", base)
            return base == release || base == "stable" || base == "testing" || base == "unstable" || base == "sid"
        }
        function flush(   n, i, types, suites, isdeb) {
            if (uris != "" && tolower(enabled) != "no") {
                n = split(typ, types, /[ \t]+/)
                isdeb = 0
                for (i = 1; i <= n; i++) if (types[i] == "deb") isdeb = 1
                if (isdeb) emit()
            }
            typ = uris = suites_field = comps = signed = trusted = enabled = ""; field = ""
        }
        function emit(   nu, ns, i, j, u, s) {
            nu = split(uris, u, /[ \t]+/)
            ns = split(suites_field, s, /[ \t]+/)
            for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
                if (u[i] != "" && ours(s[j]))
                    printf "%s\t%s\t%s\t%s\t%s\n", u[i], s[j], comps, signed, trusted
        }
        /^#/ { next }
        /^[ \t]*$/ { flush(); next }
        /^[ \t]/ {  # a continuation line
            if (field == "signed-by") { sub(/^[ \t]+/, " "); signed = signed "\001" $0 }
            else if (field == "types") typ = typ " " $0
            else if (field == "uris") uris = uris " " $0
            else if (field == "suites") suites_field = suites_field " " $0
            else if (field == "components") comps = comps " " $0
            next
        }
        {
            colon = index($0, ":")
            if (colon == 0) next
            field = tolower(substr($0, 1, colon - 1))
            value = substr($0, colon + 1)
            sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
            if (field == "types") typ = value
            else if (field == "uris") uris = value
            else if (field == "suites") suites_field = value
            else if (field == "components") comps = value
            else if (field == "signed-by") signed = value
            else if (field == "trusted") trusted = value
            else if (field == "enabled") enabled = value
        }
        END { flush() }'
    cat "$apt_list" "$apt_parts"*.list 2>/dev/null | awk -v release="$release" '
        function ours(suite,   base) {
            base = suite; sub(/[-\/].*/, "", base)
            return base == release || base == "stable" || base == "testing" || base == "unstable" || base == "sid"
        }
        $1 != "deb" { next }
        {
            signed = trusted = ""; i = 2
            if (substr($2, 1, 1) == "[") {
                # Options: [name=value ...], possibly without spaces inside the brackets.
                options = ""
                for (; i <= NF; i++) { options = options " " $i; if ($i ~ /\]$/) { i++; break } }
                gsub(/[\[\]]/, "", options)
                n = split(options, o, /[ \t]+/)
                for (k = 1; k <= n; k++) {
                    if (o[k] ~ /^signed-by=/) signed = substr(o[k], 11)
                    if (o[k] ~ /^trusted=/) trusted = substr(o[k], 9)
                }
            }
            uri = $i; suite = $(i + 1); comps = ""
            for (k = i + 2; k <= NF && $k !~ /^#/; k++) comps = comps (comps == "" ? "" : " ") $k
            if (ours(suite))
                printf "%s\t%s\t%s\t%s\t%s\n", uri, suite, comps, signed, trusted
        }'
}

# The same entries as deb-src, in deb822 form.
debian_src_sources() {
    debian_deb_entries "$1" | sort -u | awk -F '\t' '
        {
            if (NR > 1) print ""
            print "Types: deb-src"
            print "URIs: " $1
            print "Suites: " $2
            if ($3 != "") print "Components: " $3
            if ($4 != "") {
                signed = $4; lead = signed ~ /^\001/ ? "" : " "
                gsub(/\001/, "\n", signed)
                print "Signed-By:" lead signed
            }
            if ($5 != "") print "Trusted: " $5
        }'
}

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
# Where apt reads its sources (/etc/apt/sources.list and sources.list.d/).
apt_list=/etc/apt/sources.list
apt_parts=/etc/apt/sources.list.d/
eval "$(apt-config shell apt_list Dir::Etc::sourcelist/f apt_parts Dir::Etc::sourceparts/d)"
if [ "${1:-}" = --print-deb-src ]; then
    debian_src_sources "$codename"
    exit 0
fi

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
    # A deb-src entry already configured only needs its lists fetched.
    if ! apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -qx Sources; then
        entries=$(debian_src_sources "$codename")
        if [ -z "$entries" ]; then
            echo "windows-packages: no deb entry for Debian $codename in $apt_list," \
                "${apt_parts}*.list or ${apt_parts}*.sources to make a deb-src entry from; add one" >&2
            exit 1
        fi
        echo "Adding deb-src entries for Debian $codename, made from this machine's deb entries," \
            "to ${apt_parts}sixscene-debian-src.sources"
        printf '%s\n' "$entries" | $as_root tee "${apt_parts}sixscene-debian-src.sources" >/dev/null
    fi
    $as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
    updated=1
fi

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    [ -n "$updated" ] || $as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $as_root apt-get -o DPkg::Lock::Timeout=600 install -y -qq $missing >/dev/null
fi
