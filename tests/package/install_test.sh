#!/usr/bin/env bash
# Installs the Debian package built in BUILD_DIR on this machine with apt (which brings in
# its dependencies), checks what it put where, and starts the installed program under Xvfb
# against the installed virtual unit. The package is removed again afterwards unless it
# was installed before the test.
#
#   bash tests/package/install_test.sh BUILD_DIR [ARTEFACT_DIR]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

run() {
    set -euo pipefail
    local build artefacts
    build=$(cd "$1" && pwd)
    artefacts=${2:-$build/install-test}
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    fail() {
        echo "FAIL: $*" >&2
        exit 1
    }

    shopt -s nullglob
    local debs=("$build"/tessora_*.deb)
    [ ${#debs[@]} -eq 1 ] || fail "expected one tessora_*.deb in $build, found ${#debs[@]}"
    local deb=${debs[0]}
    echo "-- installing $deb"

    if ! dpkg-query -W -f='${Status}' tessora 2>/dev/null | grep -q 'install ok installed'; then
        trap 'DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq \
            -o DPkg::Lock::Timeout=120 tessora >/dev/null || true' EXIT
    fi
    # --reinstall, so a package of the same version left by an earlier run is replaced by
    # the one just built.
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --reinstall \
        -o DPkg::Lock::Timeout=120 "$deb" >/dev/null ||
        fail "apt-get could not install $deb"

    local want got
    want=$(dpkg-deb -f "$deb" Version)
    got=$(dpkg-query -W -f='${Version}' tessora)
    [ "$got" == "$want" ] || fail "installed version $got, package has $want"

    echo "-- files of the installed package"
    local files
    files=$(dpkg -L tessora)
    local path
    for path in /usr/bin/tessora /usr/bin/tessora-unit /usr/share/applications/tessora.desktop \
        /usr/share/icons/hicolor/48x48/apps/tessora.png \
        /usr/share/icons/hicolor/256x256/apps/tessora.png; do
        grep -qx "$path" <<<"$files" || fail "dpkg -L tessora does not list $path"
        [ -s "$path" ] || fail "$path is missing or empty"
    done
    file /usr/share/icons/hicolor/48x48/apps/tessora.png | grep -q 'PNG image data, 48 x 48' ||
        fail "the 48x48 icon is not a 48x48 PNG"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate /usr/share/applications/tessora.desktop ||
            fail "the desktop entry does not validate"
    else
        echo "-- desktop-file-validate not available; desktop entry not validated"
    fi

    echo "-- starting the installed program"
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$here/start_installed.sh" \
        /usr/bin/tessora /usr/bin/tessora-unit "$artefacts" ||
        fail "the installed program did not come up and close cleanly"
}

if (run "$@"); then
    echo "1 passed, 0 failed"
else
    echo "0 passed, 1 failed"
    exit 1
fi
