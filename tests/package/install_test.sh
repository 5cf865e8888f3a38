#!/usr/bin/env bash
# Checks the Debian package built in BUILD_DIR with lintian, installs it on this machine
# with apt (which brings in its dependencies), checks what it put where and that the desktop
# knows .tso files, renders its manual pages, validates its AppStream data, and starts the
# installed program under Xvfb against the installed virtual unit. The package is removed again afterwards unless it
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

    echo "-- lintian"
    lintian --fail-on error "$deb" || fail "lintian reports errors in $deb"

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
    local metainfo=/usr/share/metainfo/com.halvercrest.tessora.metainfo.xml
    local pages=(/usr/share/man/man1/tessora.1.gz /usr/share/man/man1/tessora-unit.1.gz
        /usr/share/man/man1/tessora-send.1.gz)
    for path in /usr/bin/tessora /usr/bin/tessora-unit /usr/bin/tessora-send \
        /usr/share/applications/tessora.desktop \
        /usr/share/icons/hicolor/48x48/apps/tessora.png \
        /usr/share/icons/hicolor/256x256/apps/tessora.png \
        /usr/share/icons/hicolor/48x48/mimetypes/application-x-tessora-screens.png \
        /usr/share/mime/packages/tessora.xml "$metainfo" \
        /usr/share/doc/tessora/copyright /usr/share/doc/tessora/changelog.gz "${pages[@]}"; do
        grep -qx "$path" <<<"$files" || fail "dpkg -L tessora does not list $path"
        # Images that drop documentation (dpkg path-exclude) keep the list but not the file;
        # the pages are then read from the package itself below.
        [[ $path == /usr/share/man/* || $path == /usr/share/doc/* ]] && [ ! -e "$path" ] &&
            continue
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

    /usr/bin/tessora-send --version | grep -q "^tessora-send " || fail "tessora-send does not start"

    echo "-- .tso files are the package's type and open in the program"
    local scratch
    scratch=$(mktemp -d)
    head -c 36 /dev/zero >"$scratch/four empty screens.tso"
    local type
    type=$(xdg-mime query filetype "$scratch/four empty screens.tso")
    [ "$type" == application/x-tessora-screens ] ||
        fail "xdg-mime gives the type [$type] for a .tso file"
    local handler
    handler=$(xdg-mime query default application/x-tessora-screens)
    [ "$handler" == tessora.desktop ] || fail "xdg-mime gives [$handler] to open .tso files"

    echo "-- manual pages"
    dpkg-deb -x "$deb" "$scratch/deb"
    local page name text
    for page in "${pages[@]}"; do
        name=$(basename "$page" .1.gz)
        [ -e "$page" ] || page=$scratch/deb$page
        text=$(MANWIDTH=80 man --warnings -l "$page" 2>"$scratch/warnings") ||
            fail "man could not render $page"
        [ ! -s "$scratch/warnings" ] || fail "man warns about $page: $(cat "$scratch/warnings")"
        if ! grep -q "^NAME" <<<"$text" || ! grep -Eq "^ *$name +- " <<<"$text" ||
            ! grep -q "^EXIT STATUS" <<<"$text"; then
            fail "$page does not render as $name(1)"
        fi
    done
    rm -rf "$scratch"

    echo "-- AppStream data"
    appstreamcli validate --no-net "$metainfo" || fail "$metainfo does not validate"

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
