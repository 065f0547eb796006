#!/usr/bin/env bash
# Builds Boost.Serialization for mingw-w64, which Debian does not package: the
# sources of the installed Boost version come from Debian's own source package and
# are compiled against the installed headers, once per build folder.
#   scripts/mingw-boost-serialization.sh OUT_DIR [COMPILER]
# Leaves OUT_DIR/lib/libboost_serialization.a and OUT_DIR/include/boost (a link to
# the system's headers, so that -isystem does not pull in /usr/include as a whole,
# whose glibc headers break a mingw build). Prints nothing but errors and one line
# per step; safe to run again (finished steps are skipped).
set -euo pipefail

out="${1:?usage: $0 OUT_DIR [COMPILER]}"
cxx="${2:-x86_64-w64-mingw32-g++-posix}"
ar="${cxx%-g++*}-ar"
command -v "$ar" >/dev/null || ar="x86_64-w64-mingw32-ar"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
lib="$out/lib/libboost_serialization.a"
[ -f "$lib" ] && exit 0

# The headers' Boost version decides the source package: boost1.74 for 1.74.x.
header_version="$(sed -n 's/^#define BOOST_LIB_VERSION "\([0-9_]*\)".*/\1/p' /usr/include/boost/version.hpp)"
[ -n "$header_version" ] || { echo "no Boost headers in /usr/include/boost" >&2; exit 1; }
source_package="boost${header_version/_/.}"
# The exact Debian version of the installed headers, so that sources and headers match.
binary_package="libboost${header_version/_/.}-dev"
debian_version="$(dpkg-query -W -f='${source:Version}' "$binary_package" 2>/dev/null || true)"

mkdir -p "$out/include"
ln -sfn /usr/include/boost "$out/include/boost"

src="$out/src"
if [ ! -f "$src/.complete" ]; then
    # A private APT configuration: the system's Debian archives as source archives,
    # with lists and downloads kept here. /etc/apt is only read.
    apt_dir="$out/apt"
    rm -rf "$apt_dir" "$src"
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$src"
    found=0
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        grep -q 'deb.debian.org\|debian.org/debian\|/debian-security' "$f" || continue
        sed -e 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
        found=1
    done
    if [ -f /etc/apt/sources.list ]; then
        grep -E '^deb[[:space:]].*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
            >"$apt_dir/sources.list" || true
        [ -s "$apt_dir/sources.list" ] && found=1
    fi
    [ "$found" = 1 ] || { echo "no Debian archive in /etc/apt to take sources from" >&2; exit 1; }
    cat >"$apt_dir/apt.conf" <<EOF
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/sources.list.d";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
APT::Sandbox::User "$(id -un)";
EOF
    touch "$apt_dir/sources.list"
    export APT_CONFIG="$apt_dir/apt.conf"
    echo "Boost.Serialization for mingw: fetching the source of $source_package ${debian_version:-}"
    apt-get update -qq >"$apt_dir/update.log" 2>&1 || { cat "$apt_dir/update.log" >&2; exit 1; }
    request="$source_package"
    [ -n "$debian_version" ] && request="$source_package=$debian_version"
    (cd "$src" && apt-get source --download-only -qq "$request" >"$apt_dir/source.log" 2>&1 ||
        apt-get source --download-only -qq "$source_package" >>"$apt_dir/source.log" 2>&1) ||
        { cat "$apt_dir/source.log" >&2; exit 1; }
    orig="$(ls "$src"/*.orig.tar.* | head -n1)"
    # Only the library's sources and its build file are needed.
    tar -xf "$orig" -C "$src" --strip-components=1 --wildcards \
        '*/libs/serialization/src/*' '*/libs/serialization/build/Jamfile*'
    rm -f "$src"/*.tar.* "$src"/*.dsc
    rm -rf "$apt_dir/lists" "$apt_dir/cache"
    touch "$src/.complete"
fi

# The sources its own build lists for boost_serialization (SOURCES in its Jamfile;
# WSOURCES, the wide-character archives, are not used).
jamfile="$(ls "$src"/libs/serialization/build/Jamfile* | head -n1)"
mapfile -t names < <(awk '/^[[:space:]]*SOURCES[[:space:]]*=/{on=1; next} on&&/;/{on=0} on{for(i=1;i<=NF;i++) print $i}' "$jamfile")
[ "${#names[@]}" -gt 0 ] || { echo "no source list found in $jamfile" >&2; exit 1; }

obj="$out/obj"
mkdir -p "$obj" "$out/lib"
echo "Boost.Serialization for mingw: compiling ${#names[@]} files"
printf '%s\n' "${names[@]}" | xargs -P "${MW_JOBS:-2}" -I{} \
    "$cxx" -std=c++20 -O2 -DNDEBUG -ftemplate-depth-255 -isystem "$out/include" \
    -w -c "$src/libs/serialization/src/{}.cpp" -o "$obj/{}.o"
rm -f "$lib.tmp"
objects=()
for n in "${names[@]}"; do objects+=("$obj/$n.o"); done
"$ar" rcs "$lib.tmp" "${objects[@]}"
mv "$lib.tmp" "$lib"
