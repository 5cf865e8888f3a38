#!/usr/bin/env bash
# Installs what is missing, builds Tessora and runs every test: the whole suite under
# AddressSanitizer+UBSan (the real-window tests included, each under its own Xvfb) and the
# serial suite again under ThreadSanitizer. Last it builds the Debian package, installs it
# on this machine and starts the installed program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$root/scripts/deps.sh"

export QTWEBENGINE_DISABLE_SANDBOX=1

echo "== ASan+UBSan build: every test"
cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSORA_SANITIZE=address >/dev/null
cmake --build "$root/build/asan" -j "$jobs"
ctest --test-dir "$root/build/asan" --output-on-failure -j "$jobs"

echo "== TSan build: serial tests"
cmake -S "$root" -B "$root/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSORA_SANITIZE=thread -DTESSORA_GUI=OFF -DTESSORA_BENCH=OFF >/dev/null
cmake --build "$root/build/tsan" -j "$jobs" --target serial_tests
# Some kernels randomise mappings beyond what TSan accepts; run without ASLR there.
setarch "$(uname -m)" -R ctest --test-dir "$root/build/tsan" -L serial --output-on-failure

echo "== Release package: build, install and start the installed program"
cmake -S "$root" -B "$root/build/package" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTESSORA_BENCH=OFF >/dev/null
cmake --build "$root/build/package" -j "$jobs" --target tessora tessora-unit
rm -f "$root/build/package"/tessora_*.deb
(cd "$root/build/package" && cpack -G DEB)
bash "$root/tests/package/install_test.sh" "$root/build/package"
