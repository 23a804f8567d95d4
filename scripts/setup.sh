#!/usr/bin/env bash
# Shared by run.sh, test.sh and bench.sh: installs the Debian packages the
# game needs to build, run and be tested, then configures and builds it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
    cmake g++ make pkg-config libxcb1-dev
    qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
    libqt6sql6-sqlite qt6-charts-dev libqt6opengl6-dev
    fonts-liberation2 fonts-dancingscript fonts-wine fonts-dejavu-core
    xvfb xauth xdotool imagemagick openbox libx11-dev
    desktop-file-utils appstream dpkg-dev file
    at-spi2-core python3-pyatspi dbus-x11
)

install_packages() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build_tree DIR [cmake options...]: configures and builds DIR; only the
# targets in BUILD_TARGETS when it is set.
build_tree() {
    local dir="$1"
    shift
    # A compiler cache, where the machine has one, makes the second build of
    # a tree (and of another checkout of it) take seconds instead of minutes.
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$ROOT"
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
}
