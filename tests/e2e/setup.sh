# The setup dialog in the real program, with virtual units as COM1 and COM2 and COM3 mapped
# to a device that does not exist: the preselected port and its status, switching ports
# while the dialog is open, OK and the close box, the command-format list, and the chosen
# port surviving a restart.

# Qt WebEngine's own teardown of a page trips the sized-delete check of a sanitizer build, and
# this test releases a page (the dialog's) while the program runs on.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:new_delete_type_mismatch=0}
source "$(dirname "$0")/lib.sh"

MAIN_WIN=
MAIN_X=0
MAIN_Y=0
SETUP_WIN=

# Where the setup page's controls are (centres, page coordinates), and the status box.
declare -A SETUP_AT=([cmbPort]="203 81" [cmbFormat]="203 161" [btnOK]="360 204")
STATUS_BOX="156x18+123+106"
PORT_BOX="36x10+129+76"
FORMAT_BOX="36x10+129+156"

STAMP='\{C0000\d\d/\d\d/\d\d'

setup_up() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Dialog$' 2>/dev/null); do
        if xwininfo -id "$w" | grep -q 'Width: 426'; then
            SETUP_WIN=$w
            return 0
        fi
    done
    return 1
}
setup_gone() { ! setup_up; }

# grab NAME BOX: a picture of part of the setup page (BOX is WxH+X+Y in page coordinates).
grab() {
    local size=${2%%+*} offset=${2#*+}
    local x=${offset%%+*} y=${offset#*+}
    import -window root -crop "${size}+$((WIN_X + x))+$((WIN_Y + y))" +repage "$WORK/$1.png"
}
same_picture() { compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>/dev/null; }
# Text has been drawn in the box: more than the box's own colour.
drawn() { grab "$1" "$2" && [ "$(identify -format '%k' "$WORK/$1.png")" -gt 2 ]; }
changed_from() { grab "$1" "$2" && ! same_picture "$1" "$3"; }

# open_setup LABEL|BUTTON: opens the dialog from the main page and waits for its page.
open_setup() {
    press "$1"
    wait_for 20 setup_up || fail "setup dialog did not open from $1"
    WIN=$SETUP_WIN
    locate_window
    wait_for 20 drawn status-now "$STATUS_BOX" || fail "setup page shows no status"
    sleep 0.5
}

# choose_in_setup LIST INDEX: picks an option as an operator would.
choose_in_setup() {
    click ${SETUP_AT[$1]}
    key Home
    local i
    for ((i = 0; i < $2; ++i)); do key Down; done
    key Return
    sleep 0.5
}

# The setup dialog is gone and the main window has its page back under the pointer.
back_to_main() {
    wait_for 10 setup_gone || fail "setup dialog still open"
    WIN=$MAIN_WIN
    WIN_X=$MAIN_X
    WIN_Y=$MAIN_Y
}

# The program has the device of unit NAME open.
holds() { ls -l "/proc/$APP_PID/fd" 2>/dev/null | grep -q -- "-> ${UNIT_DEVICE[$1]}\$"; }

# Waits for the greeting after byte FROM of unit NAME, then for two clock stamps after it.
expect_greeting_then_clock() {
    local name=$1 from=$2
    wait_bytes "$name" $((from + 43 + 28)) 20
    unit_bytes_from "$name" $((from + 1)) |
        perl -e 'local $/; my $b = <STDIN>; my ($g, $s) = @ARGV;
                 exit($b =~ /^\Q$g\E\{A19(?:$s){2,}$/ ? 0 : 1)' "$GREETING" "$STAMP" ||
        fail "unit $name after byte $from got: $(unit_bytes_from "$name" $((from + 1)) | cat -v)"
}

# Unit NAME gets nothing more than COUNT bytes for a while.
expect_quiet() {
    sleep "${3:-2.5}"
    expect_eq "$(unit_byte_count "$1")" "$2" "bytes at unit $1"
}

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
sleep 2
xdotool windowactivate --sync "$WIN"
quit_discarding
echo "PASS"
