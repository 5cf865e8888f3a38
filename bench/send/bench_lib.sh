# Shared by the Send benchmarks; sourced after tests/e2e/lib.sh.

# calibrate_unit_clock UNIT: sets unit_started, the wall clock (ms) at the unit's own start.
# The unit logs milliseconds since its start; bytes written to its line at known times, before
# the program holds it, give that start: each byte is logged at or after its write, so the
# latest of (written - logged) is the closest. Leaves CALIBRATION bytes on the unit.
CALIBRATION=5
calibrate_unit_clock() {
    local written start i
    written=($(perl -MTime::HiRes=time,sleep -e 'open(my $f, ">", $ARGV[0]) or die;
        for (1 .. $ARGV[1]) { my $t = time; syswrite($f, "K"); printf "%d\n", $t * 1000; sleep 0.03 }' \
        "${UNIT_DEVICE[$1]}" "$CALIBRATION"))
    wait_bytes "$1" "$CALIBRATION" 5
    unit_started=
    for i in $(seq 1 "$CALIBRATION"); do
        start=$((written[i - 1] - $(unit_byte_time "$1" "$i")))
        [ -z "$unit_started" ] || [ "$start" -gt "$unit_started" ] && unit_started=$start
    done
    return 0
}

# type_full_screen: 17 rows of 52 characters into the focused text box.
type_full_screen() {
    local row i
    row=$(printf 'X%.0s' $(seq 1 52))
    for i in $(seq 1 17); do
        xdotool type --delay 2 "$row"
        [ "$i" -lt 17 ] && xdotool key Return
    done
    return 0
}
