#!/usr/bin/env bash
# Installs what is missing, builds Tessora and runs every test: the formatting check, the
# whole suite under AddressSanitizer+UBSan (the real-window tests included, each under its
# own Xvfb), the serial suite again under ThreadSanitizer, and the heart built for Windows
# with its tests under wine. Last it builds the Debian package, installs it on this machine
# and starts the installed program.
# Warnings are errors in every build here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
cd "$root"

scripts/deps.sh

export QTWEBENGINE_DISABLE_SANDBOX=1

echo "== Formatting"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== ASan+UBSan build: every test"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -LE window -j "$jobs"
# One at a time: each starts its own X server and browser engine. Once: a second pass would
# take the run past its time; window tests are run several times under load before a change.
ctest --preset asan -L window

echo "== TSan build: serial tests"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
# Some kernels randomise mappings beyond what TSan accepts; run without ASLR there.
setarch "$(uname -m)" -R ctest --preset tsan

echo "== Windows build (mingw-w64): the heart's tests under wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
# In a prefix of its own under build/, made on first use with no display (tests/windows/wine.sh).
# tessora-send.exe is checked against the ASan build's tessora-send on its virtual unit.
ctest --preset windows

echo "== Companion module: packages, the package build, and its tests against the program"
bash integrations/companion/test.sh "$root/build/asan/app/tessora" "$root/build/asan/tools/tessora-unit"

echo "== Release package: build, install and start the installed program"
cmake --preset package >/dev/null
cmake --build --preset package -j "$jobs"
rm -f build/package/tessora_*.deb
(cd build/package && cpack -G DEB)
bash tests/package/install_test.sh build/package
