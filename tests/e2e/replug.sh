# A USB adapter pulled on air and plugged back: the port is mapped to a stable link as
# /dev/serial/by-id gives one; the link goes with the adapter and comes back pointing at the
# new device. The program says the line is lost, keeps its window, and the clock goes on at
# the new device by itself: no greeting, no text, only the stamps.
source "$(dirname "$0")/lib.sh"

# CPU time (clock ticks) the program has used so far.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$APP_PID/stat"; }
now_ms() { date +%s%3N; }
announced() { grep -q " $1 $LINK\$" "$TESSORA_READY_FILE"; }
# Seconds the line stays lost while the program's CPU is measured.
LOST_SECONDS=${TESSORA_LOST_SECONDS:-5}

LINK="$WORK/by-id/usb-Tessora_Unit-if00-port0"
mkdir -p "$(dirname "$LINK")"
start_unit com1
ln -sfn "${UNIT_DEVICE[com1]}" "$LINK"
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=$LINK"
start_app
wait_bytes com1 43 20
wait_main_window

step "the adapter is pulled while the clock ticks"
choose cmbDate 1
count=$(unit_byte_count com1)
wait_bytes com1 $((count + 28))
kill "${UNIT_PIDS[com1]}"
unset 'UNIT_PIDS[com1]'
rm -f "$LINK"
wait_for 5 announced "line lost" || fail "no line lost: $(cat "$TESSORA_READY_FILE")"
grep -q "^tessora: line lost: $LINK\$" "$WORK/app.log" || fail "no line lost on stderr: $(cat "$WORK/app.log")"
app_running || fail "the program died with the line"
screenshot replug-line-lost

step "no busy loop while the line is lost, and the window answers"
before=$(cpu_ticks)
sleep "$LOST_SECONDS"
used=$(($(cpu_ticks) - before))
echo "CPU over $LOST_SECONDS s with the line lost: $used ticks of $(getconf CLK_TCK) a second"
[ "$used" -lt $((LOST_SECONDS * 20)) ] || fail "the program used $used ticks in $LOST_SECONDS s"
press Screen2
press Screen1
app_running || fail "the window died while the line was lost"

step "the adapter comes back under the same link"
start_unit com2
t0=$(now_ms)
ln -sfn "${UNIT_DEVICE[com2]}" "$LINK"
until unit_has_bytes com2 1; do
    [ $(($(now_ms) - t0)) -lt 10000 ] || fail "no stamp at the new device in 10 s"
    sleep 0.02
done
echo "first stamp byte at the new device after $(($(now_ms) - t0)) ms"
wait_for 5 announced "line back" || fail "no line back: $(cat "$TESSORA_READY_FILE")"
screenshot replug-line-back
wait_bytes com2 42 10
unit_bytes com2 | perl -e 'local $/; exit(<STDIN> =~ /^(?:\{C\d{4}[^{]+)+$/ ? 0 : 1)' ||
    fail "more than stamps at the new device: $(unit_bytes com2 | cat -v)"

step "closing with the line back is as ever"
quit_discarding
echo "PASS [${SECONDS}s]"
