#!/usr/bin/env bash
# Runs a cross-built Windows program under wine, as the windows preset's tests do: in a
# private prefix (made here on first use, with no display and no prompt for Mono or Gecko)
# and with wine's own chatter off. The program's exit status is passed on.
#
#   tests/windows/wine.sh PROGRAM.exe [ARGUMENTS...]
#   WINEPREFIX=... picks another prefix; the default is build/wine beside the sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=${TESSORA_WINE:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver
export WINEPREFIX=${WINEPREFIX:-$root/build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# mscoree and mshtml are what would ask to download Mono and Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.tessora-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Tests run side by side: the first makes the prefix, the others wait for it.
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/.tessora-ready" ]; then
        "$wine" wineboot -i >/dev/null 2>&1
        touch "$WINEPREFIX/.tessora-ready"
    fi
    exec 9>&-
fi
# Wine's server and its system programs, started by the first program, would inherit that
# program's output and hold it until they leave, seconds after it ends; a test runner waits
# for that. Started here with nothing of ours open, they serve every program of the run and
# leave 10 s after the last. When they run already, this costs one short start of wine.
detached() {
    (
        for fd in $(ls /proc/$BASHPID/fd); do
            if [ "$fd" -gt 2 ] && [ "$fd" -ne 255 ]; then eval "exec $fd>&-"; fi
        done
        exec "$@" </dev/null >/dev/null 2>&1 255>&-
    )
}
detached "$wineserver" -p10 || true
detached "$wine" cmd /c exit || true
exec "$wine" "$@"
