# The monitor opened with the program on a screen too narrow for both windows at their full
# size: it stands beside the main window, covering none of it, both wholly on the screen, and
# the main window's controls still answer where they are.
source "$(dirname "$0")/lib.sh"

monitor_up() { MON=$(xdotool search --onlyvisible --name '^Tessora Monitor$' 2>/dev/null | head -n 1) && [ -n "$MON" ]; }
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }
read -r SCREEN_W SCREEN_H < <(xwininfo -root | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}')

# on_screen X Y W H: the rectangle lies wholly on the screen.
on_screen() { [ "$1" -ge 0 ] && [ "$2" -ge 0 ] && [ $(($1 + $3)) -le "$SCREEN_W" ] && [ $(($2 + $4)) -le "$SCREEN_H" ]; }
# apart: the two outer rectangles share no pixel, and both are on the screen.
apart() {
    read -r mx my mw mh < <(outer_rect_of "$WIN")
    read -r ox oy ow oh < <(outer_rect_of "$MON")
    on_screen "$mx" "$my" "$mw" "$mh" && on_screen "$ox" "$oy" "$ow" "$oh" &&
        { [ $((mx + mw)) -le "$ox" ] || [ $((ox + ow)) -le "$mx" ] ||
            [ $((my + mh)) -le "$oy" ] || [ $((oy + oh)) -le "$my" ]; }
}

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app --monitor
wait_main_window
wait_bytes com1 43

step "on ${SCREEN_W}x${SCREEN_H} the monitor stands beside the main window"
wait_for 15 monitor_up || fail "--monitor opened no monitor"
wait_for 10 apart || fail "main $(outer_rect_of "$WIN"), monitor $(outer_rect_of "$MON")"
echo "main $(outer_rect_of "$WIN"), monitor $(outer_rect_of "$MON")"
screenshot "monitor-room-${SCREEN_W}x${SCREEN_H}"

step "the main window's controls answer where they are"
locate_window
press scrText
type_text "Beside"
press btnSend
wait_for 10 row_is 0 Beside || fail "Send did not reach the unit: $(unit_row com1 0)"
quit_discarding
echo "PASS [${SECONDS}s]"
