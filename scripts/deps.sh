#!/usr/bin/env bash
# Installs the Debian packages Tessora builds, tests and runs with. Safe to run again:
# it installs only what is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webchannel-dev qt6-httpserver-dev libgl-dev
    # The HTTP server's CMake files look for the WebSockets ones, which its package does not pull in.
    qt6-websockets-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # The heart built for Windows and tested under wine; GoogleTest from its sources there.
    g++-mingw-w64-x86-64-posix wine64 googletest
    fonts-liberation2 fonts-dejavu-core
    xvfb xauth openbox wmctrl xdotool x11-utils x11-xkb-utils imagemagick stress-ng clang-format curl jq iproute2
    # The serial device server the network line tests put in front of the virtual unit.
    ser2net
    # OSC's encoding, and its command-line peer for the end-to-end test.
    liblo-dev liblo-tools
    # A faked clock for the test of the stamps across a change to summer time.
    faketime
    # A real browser for the operator's page: Chromium driven headless through chromedriver.
    chromium chromium-driver python3-selenium
    dpkg-dev file desktop-file-utils
    lintian appstream man-db shared-mime-info xdg-utils libfile-mimeinfo-perl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
