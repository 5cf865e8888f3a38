#!/usr/bin/env bash
# Times a backup unit's catch-up: a full screen on air, the backup pulled and plugged back
# under its by-id link, and the time from the link's return to the backup's display equal to
# the main unit's; split into the link's return to the backup's first byte (the program
# noticing it) and the first byte to the last (the line).
#   xvfb-run -a bash bench/send/backup_back_run.sh <tessora> <tessora-unit> [runs]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${3:-5}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-backup}"
source "$here/bench_lib.sh"

now_ms() { perl -MTime::HiRes=time -e 'printf "%d\n", time * 1000'; }
announced() { [ "$(grep -c " $1 $LINK\$" "$TESSORA_READY_FILE")" -ge "$2" ]; }
same_display() { cmp -s "$WORK/com1.dump" "$WORK/$1.dump"; }

LINK="$WORK/by-id/usb-Tessora_Backup-if00-port0"
mkdir -p "$(dirname "$LINK")"
start_unit com1
start_unit b0
ln -sfn "${UNIT_DEVICE[b0]}" "$LINK"
settings "[General]" "CommPort=COM1" "[Backup]" "Port=COM2" \
    "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "COM2=$LINK"
start_app
wait_bytes com1 43 30
wait_main_window
press scrText
type_full_screen
press btnSend
total=$((43 + 4 + 6 + 17 * 58))
wait_bytes com1 "$total" 30
wait_for 10 same_display b0 || fail "the backup never showed the screen"
for run in $(seq 1 "$runs"); do
    old=b$((run - 1))
    new=b$run
    kill "${UNIT_PIDS[$old]}"
    unset "UNIT_PIDS[$old]"
    rm -f "$LINK"
    wait_for 5 announced "backup lost" "$run" || fail "no backup lost"
    start_unit "$new"
    # Before the link is back: the catch-up's bytes follow these few on the unit.
    calibrate_unit_clock "$new"
    t0=$(now_ms)
    ln -sfn "${UNIT_DEVICE[$new]}" "$LINK"
    until same_display "$new"; do
        [ $(($(now_ms) - t0)) -lt 10000 ] || fail "the backup's display never equalled the main's"
        sleep 0.01
    done
    equal=$(($(now_ms) - t0))
    bytes=$(unit_byte_count "$new")
    first=$(($(unit_byte_time "$new" $((CALIBRATION + 1))) + unit_started - t0))
    last=$(($(unit_byte_time "$new" "$bytes") + unit_started - t0))
    echo "run $run: backup back to its display equal to the main's: $equal ms" \
        "(first byte $first ms, last byte $last ms, $((bytes - CALIBRATION)) bytes)"
done
quit_discarding
