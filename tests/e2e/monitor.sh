# The unit monitor in the real window: --monitor and F2 open it beside the main window, the
# text box keeps the keyboard while it shows, closing it leaves the program running, and
# whether it was open and where are kept for the next start.
source "$(dirname "$0")/lib.sh"

monitor_up() { MON=$(xdotool search --onlyvisible --name '^Tessora Monitor$' 2>/dev/null | head -n 1) && [ -n "$MON" ]; }
monitor_gone() { ! monitor_up; }
monitor_at() {
    xwininfo -id "$MON" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}'
}
focus_on_main() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$WIN" ]; }
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app --monitor
wait_main_window
wait_bytes com1 43
wait_for 15 monitor_up || fail "--monitor opened no monitor"
locate_window  # the main window may have stepped aside for it
screenshot monitor-beside-main

step "the text box keeps the keyboard while the monitor shows and follows the line"
press scrText
type_text "Typed"
focus_on_main || fail "the monitor took the focus"
press btnSend
wait_for 10 row_is 0 Typed || fail "Send did not reach the unit"

step "F2 closes and opens it; the typing goes on in the text box"
key F2
wait_for 10 monitor_gone || fail "F2 left the monitor open"
key F2
wait_for 10 monitor_up || fail "F2 opened no monitor"
focus_on_main || fail "F2 took the focus to the monitor"
type_text " on"
press btnSend
wait_for 10 row_is 0 "Typed on" || fail "typing after F2 did not reach the text box"

step "closing the monitor leaves the program running"
wmctrl -i -c "$MON"
wait_for 10 monitor_gone || fail "the monitor did not close"
app_running || fail "closing the monitor ended the program"
type_text "!"
press btnSend
wait_for 10 row_is 0 "Typed on!" || fail "the main window stopped working"

step "its place and state are kept"
key F2
wait_for 10 monitor_up || fail "F2 opened no monitor"
xdotool windowmove "$MON" 40 60
wait_for 10 bash -c "[ \"\$(xwininfo -id $MON | awk '/Absolute upper-left X/ {print \$4}')\" -le 60 ]" ||
    fail "the monitor did not move"
moved=$(monitor_at)
quit_discarding
expect_eq "$(sed -n '/^\[Monitor\]/,/^\[/s/^Open=//p' "$SETTINGS")" 1 "stored open"
start_app
wait_main_window
wait_for 15 monitor_up || fail "the monitor did not open again at start"
expect_eq "$(monitor_at)" "$moved" "monitor place after restart"
key F2
wait_for 10 monitor_gone || fail "F2 left the monitor open"
quit_discarding
expect_eq "$(sed -n '/^\[Monitor\]/,/^\[/s/^Open=//p' "$SETTINGS")" 0 "stored closed"
echo "PASS [${SECONDS}s]"
