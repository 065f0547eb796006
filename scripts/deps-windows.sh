#!/usr/bin/env bash
# Installs the Debian packages of the Windows build when missing: the mingw-w64
# cross compiler (posix threads) and Wine to run the tests.
set -euo pipefail

packages=(
    g++-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64
    xz-utils
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
