# The setup dialog in the real program, with virtual units as COM1 and COM2 and COM3 mapped
# to a device that does not exist: the preselected port and its status, switching ports
# while the dialog is open, OK and the close box, the command-format list, and the chosen
# port surviving a restart.

source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/setup_lib.sh"

start_unit com1
start_unit com2
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "COM2=${UNIT_DEVICE[com2]}" "COM3=$WORK/no-such-device"
start_app
wait_bytes com1 43 20
wait_main_window
MAIN_WIN=$WIN
MAIN_X=$WIN_X
MAIN_Y=$WIN_Y

step "a date corner puts the clock on the picture of COM1's unit"
choose cmbDate 1
clock_at() { [ "$(unit_bytes "$1" | grep -o '{C0000[0-9][0-9]/' | wc -l)" -ge 2 ]; }
wait_for 10 clock_at com1 || fail "no clock at COM1: $(unit_bytes com1 | cat -v)"

step "Setup from the toolbar: COM1 preselected and connected, the clock stopped"
open_setup btnSetup
screenshot setup-dialog-com1
grab status-com1 "$STATUS_BOX"
grab port-com1 "$PORT_BOX"
holds com1 || fail "COM1 not held with the dialog open"
count1=$(unit_byte_count com1)
expect_quiet com1 "$count1"

step "COM2: connected at once, and COM1 is let go and gets nothing more"
choose_in_setup cmbPort 1
wait_for 5 holds com2 || fail "COM2 not opened when chosen"
holds com1 && fail "COM1 still held after choosing COM2"
grab status-com2 "$STATUS_BOX"
grab port-com2 "$PORT_BOX"
screenshot setup-dialog-com2
same_picture status-com2 status-com1 || fail "status after choosing COM2 is not the connected one"
same_picture port-com2 port-com1 && fail "the list still shows COM1"
expect_eq "$(unit_byte_count com2)" 0 "bytes at COM2 before the dialog closes"

step "COM3, a missing device: disconnected"
choose_in_setup cmbPort 2
wait_for 5 changed_from status-com3 "$STATUS_BOX" status-com1 || fail "status did not change for COM3"
holds com1 || holds com2 && fail "a unit is still held after choosing COM3"
screenshot setup-dialog-com3

step "COM2 again and OK: the greeting and then the clock arrive at COM2"
choose_in_setup cmbPort 1
wait_for 5 holds com2 || fail "COM2 not reopened"
shows_connected() { grab status-again "$STATUS_BOX" && same_picture status-again status-com1; }
wait_for 5 shows_connected || fail "COM2 chosen again is not shown connected"
click ${SETUP_AT[btnOK]}
back_to_main
expect_greeting_then_clock com2 0
expect_eq "$(unit_byte_count com1)" "$count1" "bytes at COM1 after leaving it"

step "Setup from its label: COM2 preselected; COM1 and the close box keep COM1"
open_setup tagSetup
grab port-preselected "$PORT_BOX"
same_picture port-preselected port-com2 || fail "COM2 is not preselected"
grab status-preselected "$STATUS_BOX"
same_picture status-preselected status-com1 || fail "COM2 is not shown connected"
choose_in_setup cmbPort 0
count2=$(unit_byte_count com2)
wmctrl -i -c "$SETUP_WIN"
back_to_main
expect_greeting_then_clock com1 "$count1"
expect_quiet com2 "$count2" 0.5

step "another command format: the alert, the list snaps back, the port stays"
open_setup btnSetup
grab format-before "$FORMAT_BOX"
choose_in_setup cmbFormat 2
alert_up() { xdotool search --onlyvisible --name 'alert' >/dev/null 2>&1; }
wait_for 10 alert_up || fail "no alert for another command format"
screenshot setup-format-alert
key Return
alert_gone() { ! alert_up; }
wait_for 10 alert_gone || fail "alert still up after Return"
setup_up || fail "the alert took the setup dialog with it"
grab format-after "$FORMAT_BOX"
same_picture format-after format-before || fail "the format list did not snap back"
holds com1 || fail "the format list touched the port"
grab status-format "$STATUS_BOX"
same_picture status-format status-com1 || fail "status changed with the format list"

step "COM2 and the close box, then a restart: COM2 is greeted"
choose_in_setup cmbPort 1
count2=$(unit_byte_count com2)
wmctrl -i -c "$SETUP_WIN"
back_to_main
wait_bytes com2 $((count2 + 43)) 20
quit_discarding
expect_eq "$(setting CommPort)" "COM2" "stored port"
count1=$(unit_byte_count com1)
count2=$(unit_byte_count com2)
start_app
wait_bytes com2 $((count2 + 43)) 20
expect_eq "$(unit_bytes_from com2 $((count2 + 1)))" "${GREETING}{A19" "greeting after restart"
wait_main_window
expect_eq "$(unit_byte_count com1)" "$count1" "bytes at COM1 after restart"
xdotool windowactivate --sync "$WIN"
quit_discarding
echo "PASS"
