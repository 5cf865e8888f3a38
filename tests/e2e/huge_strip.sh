# A stored mini size far beyond the screen and a position at the end of the number range: the
# strip is no larger than the screen's free area, the clock on air keeps ticking and the strip
# still answers. The stored size goes back unchanged.
source "$(dirname "$0")/lib.sh"

# The strip: a visible window of the program other than the full one, into $STRIP.
strip_up() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
        if ! xwininfo -id "$w" | grep -q 'Width: 650$'; then
            STRIP=$w
            return 0
        fi
    done
    return 1
}
# stamps_since FROM COUNT: unit com1 got COUNT time stamps from byte FROM on.
stamps_since() {
    [ "$(unit_bytes_from com1 "$1" | grep -oE '[0-9]{2}:[0-9]{2}:[0-9]{2}' | wc -l)" -ge "$2" ]
}

# Screen1 with the time in the top left corner, so the clock is on air.
printf '\x01\0\0\0\0\0\0\0\0' >"$WORK/clock.tso"
head -c 27 /dev/zero >>"$WORK/clock.tso"

start_unit com1
settings "[General]" "CommPort=COM1" "MinPosX=2147483647" "MinPosY=-2147483648" \
    "MinSizeWidth=100000" "MinSizeHeight=100000" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
wait_bytes com1 43
press btnOpen
choose_file "Open" "$WORK/clock.tso"
wait_for 10 stamps_since 44 1 || fail "no clock on air"

step "the strip fits the screen"
press btnToggle
wait_for 20 strip_up || fail "no strip"
width=$(xwininfo -id "$STRIP" | awk '/Width:/ {print $2}')
height=$(xwininfo -id "$STRIP" | awk '/Height:/ {print $2}')
[ "$width" -le 1280 ] && [ "$height" -le 1024 ] || fail "the strip is ${width}x${height}"

step "its restore text is on the screen, and a click on it brings the full window back"
read -r sx sy sw sh < <(outer_rect_of "$STRIP")
read -r SCREEN_W SCREEN_H < <(xwininfo -root | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}')
cx=$((sx + sw / 2))
cy=$((sy + sh / 2))
[ "$cx" -ge 0 ] && [ "$cx" -lt "$SCREEN_W" ] && [ "$cy" -ge 0 ] && [ "$cy" -lt "$SCREEN_H" ] ||
    fail "the strip's middle is at $cx,$cy"
screenshot huge-strip
xdotool mousemove "$cx" "$cy" click 1
wait_main_window_any_title 20
press btnToggle
wait_for 20 strip_up || fail "no strip"

step "the clock keeps ticking"
from=$(($(unit_byte_count com1) + 1))
wait_for 10 stamps_since "$from" 4 || fail "stamps stopped: $(unit_bytes_from com1 "$from")"

step "a close request brings the full window back"
wmctrl -i -c "$STRIP"
wait_main_window_any_title 20
quit_discarding
expect_eq "$(setting MinPosX) $(setting MinPosY)" "2147483647 -2147483648" "stored place"
expect_eq "$(setting MinSizeWidth)" 100000 "stored width"
expect_eq "$(setting MinSizeHeight)" 100000 "stored height"
echo "PASS [${SECONDS}s]"
