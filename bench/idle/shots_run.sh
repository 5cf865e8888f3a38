#!/usr/bin/env bash
# Screenshots of the whole screen with the main window and then with the strip, to compare
# one build's pages against another's pixel for pixel. The text box holds the caret, which
# blinks: each view is taken twice, half a blink apart, so one of the two matches any
# other run's picture whatever the phase.
#   xvfb-run -a -s "-screen 0 1280x1024x24" bash bench/idle/shots_run.sh <tessora> <tessora-unit> <folder>
#   compare -metric AE <folder1>/main-1.png <folder2>/main-1.png null:
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$3
mkdir -p "$out"
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "$out"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
# The pointer off the window, so that no hover shows.
xdotool mousemove 1270 1010
sleep 1
shoot() {
    import -window root "$out/$1-1.png"
    sleep 0.5
    import -window root "$out/$1-2.png"
}
shoot main
strips=$(ready_count 157)
strip_up() { [ "$(ready_count 157)" -gt "$strips" ]; }
press btnToggle
wait_for 15 strip_up || fail "the strip never came"
xdotool mousemove 1270 1010
sleep 1
shoot strip
echo "shots in $out: main-1.png main-2.png strip-1.png strip-2.png"
