# A backup caption unit beside the main one, reached through a stable link as
# /dev/serial/by-id gives one: a Send reaches both units byte for byte; the backup pulled and
# plugged back is given the on-air text by itself, and the main unit gets nothing extra.
source "$(dirname "$0")/lib.sh"

now_ms() { date +%s%3N; }
announced() { grep -q " $1 $LINK\$" "$TESSORA_READY_FILE"; }
shows() { grep -q "$2" "$WORK/$1.dump" 2>/dev/null; }
monitor_up() { xdotool search --onlyvisible --name '^Tessora Monitor$' >/dev/null 2>&1; }

LINK="$WORK/by-id/usb-Tessora_Backup-if00-port0"
mkdir -p "$(dirname "$LINK")"
start_unit com1
start_unit com2
ln -sfn "${UNIT_DEVICE[com2]}" "$LINK"
settings "[General]" "CommPort=COM1" "[Backup]" "Port=COM2" \
    "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "COM2=$LINK"
start_app --monitor
wait_bytes com1 43 20
wait_bytes com2 43 20
wait_main_window

step "a Send reaches both units byte for byte"
press scrText
type_text "Evening news"
press btnSend
# The clear, then the text between its two row commands.
wait_bytes com1 $((43 + 4 + 6 + 12 + 6))
wait_bytes com2 $((43 + 4 + 6 + 12 + 6))
expect_eq "$(unit_bytes com2)" "$(unit_bytes com1)" "the backup's bytes"

step "the backup is pulled, and a Send made meanwhile goes to the main unit alone"
kill "${UNIT_PIDS[com2]}"
unset 'UNIT_PIDS[com2]'
rm -f "$LINK"
wait_for 5 announced "backup lost" || fail "no backup lost: $(cat "$TESSORA_READY_FILE")"
app_running || fail "the program died with the backup"
wait_for 10 monitor_up || fail "no monitor"
screenshot backup-monitor-down
key ctrl+a
type_text "Late news"
count=$(unit_byte_count com1)
press btnSend
wait_bytes com1 $((count + 4 + 6 + 9 + 6))
count=$(unit_byte_count com1)

step "the backup comes back under the same link and is given the on-air text by itself"
start_unit com3
t0=$(now_ms)
ln -sfn "${UNIT_DEVICE[com3]}" "$LINK"
wait_for 5 shows com3 "Late news" || fail "the backup shows: $(cat "$WORK/com3.dump" 2>/dev/null)"
took=$(($(now_ms) - t0))
echo "the backup showed the on-air text $took ms after it was plugged"
[ "$took" -lt 2000 ] || fail "the backup took $took ms to show the on-air text"
wait_for 5 announced "backup back" || fail "no backup back: $(cat "$TESSORA_READY_FILE")"
screenshot backup-back
expect_eq "$(unit_byte_count com1)" "$count" "bytes at the main unit since the backup came back"

quit_discarding
echo "PASS [${SECONDS}s]"
