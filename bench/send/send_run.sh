#!/usr/bin/env bash
# Times a full-screen Send on the virtual unit: from the mouse press on "Send to Tessora" to
# the first byte and to the last byte at the unit, and the last against the pacing floor
# (1 ms a byte) and the line rate (9600 baud: at most 960 bytes a second).
#   xvfb-run -a bash bench/send/send_run.sh <tessora> <tessora-unit> [runs]
# LINE=socket or LINE=rfc2217 puts Debian's ser2net on 127.0.0.1 between the program and the
# unit, raw or as a Telnet COM port server; the default is the unit's pseudo-terminal.
# BACKUP=live adds a second virtual unit as the backup line, BACKUP=hung a pseudo-terminal
# nobody reads; the default is none.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${3:-5}
line=${LINE:-pty}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-send}"

source "$here/bench_lib.sh"

start_unit com1
address=${UNIT_DEVICE[com1]}
calibrate_unit_clock com1
calibration=$CALIBRATION
if [ "$line" != pty ]; then
    port=$((40000 + $$ % 20000))
    accepter="tcp,127.0.0.1,$port"
    [ "$line" = rfc2217 ] && accepter="telnet(rfc2217),$accepter"
    printf '%s\n' '%YAML 1.1' '---' 'connection: &unit' "  accepter: $accepter" \
        "  connector: serialdev,$address,9600n81,local" >"$WORK/ser2net.yaml"
    /usr/sbin/ser2net -n -d -u -c "$WORK/ser2net.yaml" >"$WORK/ser2net.log" 2>&1 &
    ser2net_pid=$!
    trap 'kill $ser2net_pid 2>/dev/null || true; cleanup' EXIT
    listening() { grep -q "0100007F:$(printf %04X "$port") 00000000:0000 0A" /proc/net/tcp; }
    wait_for 10 listening || fail "ser2net does not listen: $(cat "$WORK/ser2net.log")"
    address="$line://127.0.0.1:$port"
fi
backup=()
case ${BACKUP:-none} in
    live)
        start_unit com2
        backup=("[Backup]" "Port=COM2" "[Ports]" "COM1=$address" "COM2=${UNIT_DEVICE[com2]}")
        ;;
    hung)
        # Holds the unit's side of a pseudo-terminal open and never reads it.
        python3 -c 'import os, pty, sys, time; m, s = pty.openpty(); print(os.ttyname(s), flush=True); time.sleep(86400)' \
            >"$WORK/hung.out" &
        UNIT_PIDS[hung]=$!
        wait_for 5 test -s "$WORK/hung.out" || fail "no pseudo-terminal for the hung backup"
        backup=("[Backup]" "Port=COM2" "[Ports]" "COM1=$address" "COM2=$(head -n 1 "$WORK/hung.out")")
        ;;
esac
[ ${#backup[@]} -gt 0 ] && settings "[General]" "CommPort=COM1" "${backup[@]}" ||
    settings "[General]" "CommPort=COM1" "[Ports]" "COM1=$address"
start_app
wait_bytes com1 $((calibration + 43)) 30
wait_main_window
press scrText
type_full_screen
sleep 1
# One xdotool for all the presses, reading its commands as they come: starting a program for
# each press would add its start-up, several milliseconds, to the time measured.
mkfifo "$WORK/clicks"
xdotool - <"$WORK/clicks" >/dev/null 2>&1 &
exec 7>"$WORK/clicks"
total=$((4 + 6 + 17 * 58))   # the clear, then 17 full rows with their position commands
for run in $(seq 1 "$runs"); do
    before=$(unit_byte_count com1)
    xdotool mousemove $((WIN_X + 544)) $((WIN_Y + 412))
    sleep 0.2
    pressed=$(perl -MTime::HiRes=time -e 'open(my $f, ">&=", 7) or die; my $t = time;
        syswrite($f, "click 1\n"); printf "%d\n", $t * 1000')
    wait_bytes com1 $((before + total)) 30
    first=$(($(unit_byte_time com1 $((before + 1))) + unit_started - pressed))
    last=$(($(unit_byte_time com1 $((before + total))) + unit_started - pressed))
    echo "run $run ($line, backup ${BACKUP:-none}): $total bytes; press to first byte ${first} ms, to last byte ${last} ms;" \
        "floor $total ms (ratio $(awk "BEGIN {printf \"%.2f\", $last / $total}"))," \
        "line rate $((total * 1000 / 960)) ms (ratio $(awk "BEGIN {printf \"%.2f\", $last * 960 / ($total * 1000)}"))"
    sleep 1
done
exec 7>&-
quit_discarding
