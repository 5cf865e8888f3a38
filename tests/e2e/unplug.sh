# The caption unit's line hangs up while the program is sending (a USB adapter pulled on
# air): the program keeps running without spinning, still closes through its prompt, and
# Setup brings the link back on another port.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/setup_lib.sh"

# CPU time (clock ticks) the program has used so far.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$APP_PID/stat"; }

start_unit com1
start_unit com2
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "COM2=${UNIT_DEVICE[com2]}"
start_app
wait_bytes com1 43 20
wait_main_window
MAIN_WIN=$WIN
MAIN_X=$WIN_X
MAIN_Y=$WIN_Y

step "the unit goes away in the middle of a Send"
press scrText
for i in 1 2 3 4 5 6; do type_text "A line of caption text number $i"; key Return; done
choose cmbDate 1
count=$(unit_byte_count com1)
press btnSend
wait_bytes com1 $((count + 20))
kill "${UNIT_PIDS[com1]}"
unset 'UNIT_PIDS[com1]'
sleep 1
app_running || fail "the program died with the line"

step "no busy loop on the dead line, and the window still answers"
before=$(cpu_ticks)
sleep 3
used=$(($(cpu_ticks) - before))
echo "CPU over 3 s with the line down: $used ticks of $(getconf CLK_TCK) a second"
[ "$used" -lt 60 ] || fail "the program used $used ticks in 3 s with the line down"
press btnSend
press Screen2
press Screen1
app_running || fail "the program died on a Send to a dead line"

step "Setup brings the link back on COM2"
count=$(unit_byte_count com2)
open_setup btnSetup
choose_in_setup cmbPort 1
wait_for 10 holds com2 || fail "COM2 not opened"
click ${SETUP_AT[btnOK]}
back_to_main
expect_greeting_then_clock com2 "$count"

step "closing still asks to save the typed screens"
key Escape
wait_for 10 prompt_up || fail "no save prompt at close"
screenshot unplug-close-prompt
key n
expect_exit 0
echo "PASS [${SECONDS}s]"
