#!/usr/bin/env bash
# Shared by run.sh, test.sh, bench.sh and the screenshot script: installs the
# Debian packages the game needs, then configures and builds it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Building and running the game: the compiler and Qt, the platform plugins
# for X11 and Wayland, and the fonts it draws with. libx11-dev is for the
# benchmark program, configured with the rest; dpkg-dev gives a Release build
# Debian's hardening flags. libpq-dev and Qt's PostgreSQL driver are for a
# class whose rounds go to a server; Qt's translations put the words of its
# own dialogs (the results window's export) in French.
BUILD_PACKAGES=(
    cmake g++ make pkg-config dpkg-dev libxcb1-dev libx11-dev
    qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins qt6-wayland
    libqt6sql6-sqlite libsqlite3-dev qt6-charts-dev libqt6opengl6-dev
    libpq-dev libqt6sql6-psql qt6-translations-l10n
    fonts-liberation2 fonts-dancingscript fonts-wine fonts-dejavu-core
)
# Testing, measuring and packaging it: X and Wayland servers, a window manager,
# input and screenshot tools, the screen-reader stack, the package checkers,
# a FUSE mount without shared memory for the record (fuse3 gives fusermount),
# the spreadsheet that reads the CSV export back on a French desktop, and a
# PostgreSQL server that the tests start on their own, with its driver, and
# the tools that read the printed report back as text and as pictures.
TEST_PACKAGES=(
    xvfb xauth x11-utils xdotool imagemagick openbox procps weston locales
    at-spi2-core python3-pyatspi dbus dbus-x11
    desktop-file-utils appstream file lintian man-db bindfs fuse3
    libreoffice-calc-nogui postgresql libqt6sql6-psql tzdata poppler-utils
)
# The tools that run the game for a person (run.sh) take only the first list.
PACKAGES=("${BUILD_PACKAGES[@]}")
with_test_packages() { PACKAGES=("${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"); }

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
