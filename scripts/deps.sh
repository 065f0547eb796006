#!/usr/bin/env bash
# Installs the Debian packages Morrowick needs to build, run and test, when missing.
#   scripts/deps.sh           the Linux build, its tests, the fuzz targets and the package check
#   scripts/deps.sh windows   the Windows build: mingw-w64 (posix threads), Wine, and
#                             Wine's IDL files and stdole2.tlb for widl (libwine-dev),
#                             and makensis for the installer (nsis)
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libboost-serialization-dev
    libsdbus-c++-dev libsdbus-c++-bin libsystemd-dev
    libgtest-dev googletest
    dbus-daemon dbus-bin libglib2.0-bin util-linux systemd
    time tzdata
    qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core
    libcurl4-openssl-dev tinyproxy openssl python3
    xvfb xauth librsvg2-bin
    libxcb1-dev
    scdoc lintian desktop-file-utils dpkg-dev fakeroot
    man-db
    clang-14 libclang-rt-14-dev llvm-14
)
if [ "${1:-}" = windows ]; then
    packages=(
        g++-mingw-w64-x86-64-posix mingw-w64-tools
        wine wine64 libwine-dev
        nsis
        xz-utils
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    # Another installation may hold the package manager's locks (a second leg of
    # the tests, an unattended upgrade): wait for it rather than fail. apt waits
    # for the dpkg lock by itself with DPkg::Lock::Timeout; the lock of the
    # package lists has no such option, so the update is retried.
    apt_wait=(-o DPkg::Lock::Timeout=600)
    for attempt in $(seq 60); do
        "${sudo_cmd[@]}" apt-get "${apt_wait[@]}" update -qq && break
        [ "$attempt" -lt 60 ] || exit 1
        echo "apt-get update failed (the package lists may be locked); trying again in 10 s" >&2
        sleep 10
    done
    "${sudo_cmd[@]}" apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi
