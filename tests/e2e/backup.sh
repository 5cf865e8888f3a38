# A backup caption unit beside the main one, reached through a stable link as
# /dev/serial/by-id gives one: a Send reaches both units byte for byte; the backup pulled in
# the middle of a full-screen Send and plugged back is given the on-air text by itself, and
# the main unit gets nothing extra. Then, on a fresh start, a backup behind Debian's ser2net
# stopped and started again.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../../bench/send/bench_lib.sh"

now_ms() { date +%s%3N; }
announced() { grep -q " $1 $2\$" "$TESSORA_READY_FILE"; }
shows() { grep -q "$2" "$WORK/$1.dump" 2>/dev/null; }
same_display() { cmp -s "$WORK/com1.dump" "$WORK/$1.dump"; }
monitor_up() { MON=$(xdotool search --onlyvisible --name '^Tessora Monitor$' 2>/dev/null | head -n 1) && [ -n "$MON" ]; }
monitor_shot() { import -window "$MON" "$ARTEFACTS/$1.png" 2>/dev/null && echo "screenshot: $ARTEFACTS/$1.png"; }
# pull UNIT: the unit's device goes away, as a cable pulled out.
pull() {
    kill "${UNIT_PIDS[$1]}"
    wait "${UNIT_PIDS[$1]}" 2>/dev/null || true
    unset "UNIT_PIDS[$1]"
}
# expect_back UNIT T0: UNIT's display comes to equal the main unit's by itself; the time it
# took from T0 is told (bench/send/backup_back_run.sh measures it).
expect_back() {
    wait_for 10 same_display "$1" ||
        fail "the backup shows: $(cat "$WORK/$1.dump" 2>/dev/null), the main unit: $(cat "$WORK/com1.dump")"
    echo "the backup showed the on-air text $(($(now_ms) - $2)) ms after it came back"
}

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
wait_for 10 monitor_up || fail "no monitor"

step "a Send reaches both units byte for byte"
press scrText
type_text "Evening news"
press btnSend
# The clear, then the text between its two row commands.
wait_bytes com1 $((43 + 4 + 6 + 12 + 6))
wait_bytes com2 $((43 + 4 + 6 + 12 + 6))
expect_eq "$(unit_bytes com2)" "$(unit_bytes com1)" "the backup's bytes"
monitor_shot backup-monitor-live

step "the backup is pulled in the middle of a full-screen Send, which the main unit gets whole"
key ctrl+a
type_full_screen
full=$((4 + 6 + 17 * 58)) # the clear, then 17 full rows with their position commands
count=$(unit_byte_count com1)
count2=$(unit_byte_count com2)
# The line takes about a second for the screen: the press is not waited for here.
read -r x y <<<"${AT[btnSend]}"
xdotool mousemove $((WIN_X + x)) $((WIN_Y + y)) click 1
wait_bytes com2 $((count2 + 60)) 10
pull com2
rm -f "$LINK"
got=$(($(unit_byte_count com2) - count2))
[ "$got" -lt "$full" ] || fail "the backup had the whole Send ($got bytes) before it was pulled"
echo "the backup was pulled after $got of $full bytes"
wait_bytes com1 $((count + full))
wait_for 5 announced "backup lost" "$LINK" || fail "no backup lost: $(cat "$TESSORA_READY_FILE")"
app_running || fail "the program died with the backup"
count=$(unit_byte_count com1)
monitor_shot backup-monitor-down

step "the backup comes back under the same link and is given the on-air text by itself"
start_unit com3
t0=$(now_ms)
ln -sfn "${UNIT_DEVICE[com3]}" "$LINK"
expect_back com3 "$t0"
wait_for 5 announced "backup back" "$LINK" || fail "no backup back: $(cat "$TESSORA_READY_FILE")"
expect_eq "$(unit_byte_count com1)" "$count" "bytes at the main unit since the Send"
quit_discarding

step "a fresh start with the backup behind ser2net"
pull com3
start_unit com4
port=$((40000 + $$ % 20000))
ADDRESS="socket://127.0.0.1:$port"
printf '%s\n' '%YAML 1.1' '---' 'connection: &unit' "  accepter: tcp,127.0.0.1,$port" \
    "  connector: serialdev,${UNIT_DEVICE[com4]},9600n81,local" >"$WORK/ser2net.yaml"
listening() { grep -q "0100007F:$(printf %04X "$port") 00000000:0000 0A" /proc/net/tcp; }
start_ser2net() {
    /usr/sbin/ser2net -n -d -u -c "$WORK/ser2net.yaml" >>"$WORK/ser2net.log" 2>&1 &
    UNIT_PIDS[ser2net]=$!
    wait_for 10 listening || fail "ser2net does not listen: $(cat "$WORK/ser2net.log")"
}
start_ser2net
settings "[General]" "CommPort=COM1" "[Backup]" "Port=COM2" \
    "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "COM2=$ADDRESS"
count=$(unit_byte_count com1)
start_app
wait_bytes com1 $((count + 43)) 20
wait_bytes com4 43 20
wait_main_window

step "ser2net stopped: the program lives and the main unit still gets its Send"
pull ser2net
wait_for 5 grep -q " backup lost " "$TESSORA_READY_FILE" || fail "no backup lost: $(cat "$TESSORA_READY_FILE")"
app_running || fail "the program died with ser2net"
press scrText
key ctrl+a
type_text "Late news"
count=$(unit_byte_count com1)
count4=$(unit_byte_count com4)
press btnSend
wait_bytes com1 $((count + 4 + 6 + 9 + 6))
count=$(unit_byte_count com1)
expect_eq "$(unit_byte_count com4)" "$count4" "bytes at the backup while ser2net is stopped"

step "ser2net started again: the backup is given the on-air text by itself"
t0=$(now_ms)
start_ser2net
expect_back com4 "$t0"
wait_for 5 grep -q " backup back " "$TESSORA_READY_FILE" || fail "no backup back: $(cat "$TESSORA_READY_FILE")"
expect_eq "$(unit_byte_count com1)" "$count" "bytes at the main unit since the Send"

quit_discarding
echo "PASS [${SECONDS}s]"
