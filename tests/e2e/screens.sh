# Four screens and mini mode through the real window: typing survives screen changes and
# trips to the strip, the strip keeps the place it is dragged to, across restarts too.
source "$(dirname "$0")/lib.sh"

# The outer rectangle (frame included) of the program's visible window: "x y width height".
outer_rect() { outer_rect_of "$(xdotool search --onlyvisible --name '^Tessora$' | head -n 1)"; }
strip_up() { [ "$(main_page)" = 157 ] && [ "$(outer_rect | cut -d' ' -f3)" -lt 300 ]; }
rect_is() { [ "$(outer_rect)" = "$1" ]; }
rect_is_not() { [ "$(outer_rect)" != "$1" ]; }
# expect_rect RECT WHAT: the window manager has put the strip there.
expect_rect() { wait_for 10 rect_is "$1" || expect_eq "$(outer_rect)" "$1" "$2"; }

start_unit com1
settings "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "[General]" "CommPort=COM1"
start_app
wait_main_window

step "typing in screen 1, then tab 2 and back, shows the text again"
press scrText
type_text "Screen one text"
press Screen2
type_text "Two"
screenshot screens-tab2-selected
press Screen1
press btnSend
wait_bytes com1 $((43 + 4 + 6 + 15 + 6))
expect_eq "$(unit_row com1 0 | sed 's/ *$//')" "Screen one text" "screen 1 on the unit"

step "a press on a screen picture or on the logo does nothing"
before=$(unit_byte_count com1)
click ${AT[screenPicture1]}
press logo
press btnSend
wait_bytes com1 $((before + 4 + 6 + 15 + 6))
expect_eq "$(unit_row com1 0 | sed 's/ *$//')" "Screen one text" "still screen 1"

step "with no settings the strip is 100 x 50 at 0, 0"
press scrText
key ctrl+End
type_text " more"
press btnToggle
wait_for 10 strip_up || fail "no strip"
expect_rect "0 0 100 50" "strip outer rectangle"
screenshot screens-mini-strip

step "restore shows the same text, typed just before the strip"
WIN=$(xdotool search --onlyvisible --name '^Tessora$' | head -n 1)
locate_window
click 40 10
wait_main_window
press btnSend
wait_bytes com1 $((before + 31 + 4 + 6 + 20 + 6))
expect_eq "$(unit_row com1 0 | sed 's/ *$//')" "Screen one text more" "typed text kept"

step "the strip returns where it was dragged, also after a restart"
press btnToggle
wait_for 10 strip_up || fail "no strip"
before=$(outer_rect)
strip=$(xdotool search --onlyvisible --name '^Tessora$' | head -n 1)
xdotool windowmove "$strip" 300 200
wait_for 10 rect_is_not "$before" || fail "the strip did not move"
moved=$(outer_rect)
key Escape   # a close request on the strip restores the full window
wait_main_window
app_running || fail "Escape on the strip ended the program"
press btnToggle
wait_for 10 strip_up || fail "no strip"
expect_rect "$moved" "strip place after restore"
key Escape
wait_main_window
quit_discarding
expect_eq "$(setting MinPosX) $(setting MinPosY)" "$(echo "$moved" | cut -d' ' -f1-2)" "stored place"
start_app
wait_main_window
press btnToggle
wait_for 10 strip_up || fail "no strip"
expect_rect "$moved" "strip place after restart"
key Escape
wait_main_window
quit_discarding
echo "PASS [${SECONDS}s]"
