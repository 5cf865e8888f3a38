#!/usr/bin/env bash
# Times a cue take with Ctrl+Space against a mouse press on "Send to Tessora" and a Send with
# Ctrl+Return, in one run on the virtual unit: from the key or the press to the unit's first
# byte, each in turn so all see the same machine. The two keys tell the take's own cost from
# the key's way in.
#   xvfb-run -a bash bench/send/take_run.sh <tessora> <tessora-unit> [runs]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${3:-10}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-take}"

source "$here/bench_lib.sh"

start_unit com1
address=${UNIT_DEVICE[com1]}
calibrate_unit_clock com1
calibration=$CALIBRATION
{
    echo "Text"
    for i in $(seq 1 $((runs + 1))); do echo "Cue $i"; done
} >"$WORK/takes.csv"
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=$address"
start_app --cues "$WORK/takes.csv"
wait_bytes com1 $((calibration + 43)) 30
wait_main_window
press scrText
xdotool type --delay 2 "Sent text"
sleep 1
# One xdotool for every press and key, reading its commands as they come: starting a program
# for each would add its start-up, several milliseconds, to the time measured.
mkfifo "$WORK/input"
xdotool - <"$WORK/input" >/dev/null 2>&1 &
exec 7>"$WORK/input"
# at COMMAND: runs it through the one xdotool; prints the wall clock just before, in ms.
at() {
    perl -MTime::HiRes=time -e 'open(my $f, ">&=", 7) or die; my $t = time;
        syswrite($f, "$ARGV[0]\n"); printf "%d\n", $t * 1000' "$1"
}
# first_after COUNT SENT_AT: waits for a byte past COUNT; prints its delay after SENT_AT.
first_after() {
    wait_bytes com1 $(($1 + 1)) 30
    echo $(($(unit_byte_time com1 $(($1 + 1))) + unit_started - $2))
}
sends=()
keysends=()
takes=()
for run in $(seq 1 "$runs"); do
    xdotool mousemove $((WIN_X + 544)) $((WIN_Y + 412))
    sleep 0.5
    before=$(unit_byte_count com1)
    sends+=($(first_after "$before" "$(at 'click 1')"))
    sleep 1
    before=$(unit_byte_count com1)
    keysends+=($(first_after "$before" "$(at 'key ctrl+Return')"))
    sleep 1
    before=$(unit_byte_count com1)
    takes+=($(first_after "$before" "$(at 'key ctrl+space')"))
    sleep 1
done
exec 7>&-
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
echo "send press to first byte: ${sends[*]} ms (median $(median "${sends[@]}"))"
echo "Ctrl+Return send to first byte: ${keysends[*]} ms (median $(median "${keysends[@]}"))"
echo "Ctrl+Space take to first byte: ${takes[*]} ms (median $(median "${takes[@]}"))"
quit_discarding
