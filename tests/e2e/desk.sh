# The operator's desk: the program opened with the monitor and a cue list. The three windows
# lie wholly on the screen and none covers another (frames included), every title begins with
# "Tessora", Ctrl+Space still takes a cue, a tool closed and opened again (F2, F3) comes back
# where it was, and a window the operator moved is kept there in the settings.
# QT_SCALE_FACTOR, when set, is the program's scale: page coordinates are multiplied by it.
source "$(dirname "$0")/lib.sh"

SCALE=${QT_SCALE_FACTOR:-1}
read -r SCREEN_W SCREEN_H < <(xwininfo -root | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}')
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }
named_up() { xdotool search --all --onlyvisible --pid "$APP_PID" --name "^$1\$" 2>/dev/null | head -n 1; }
gone() { [ -z "$(named_up "$1")" ]; }
desk_up() {
    [ "$(main_page)" = 104 ] && WIN=$(named_up Tessora) && MON=$(named_up "Tessora Monitor") &&
        CUES=$(named_up "Tessora Cues") && [ -n "$WIN" ] && [ -n "$MON" ] && [ -n "$CUES" ]
}
on_screen() { [ "$1" -ge 0 ] && [ "$2" -ge 0 ] && [ $(($1 + $3)) -le "$SCREEN_W" ] && [ $(($2 + $4)) -le "$SCREEN_H" ]; }
# apart A B: the windows' outer rectangles share no pixel.
apart() {
    local ax ay aw ah bx by bw bh
    read -r ax ay aw ah < <(outer_rect_of "$1")
    read -r bx by bw bh < <(outer_rect_of "$2")
    [ $((ax + aw)) -le "$bx" ] || [ $((bx + bw)) -le "$ax" ] || [ $((ay + ah)) -le "$by" ] || [ $((by + bh)) -le "$ay" ]
}
desk_apart() {
    local w
    for w in "$WIN" "$MON" "$CUES"; do
        # shellcheck disable=SC2046
        on_screen $(outer_rect_of "$w") || return 1
    done
    apart "$WIN" "$MON" && apart "$WIN" "$CUES" && apart "$MON" "$CUES"
}
rects() { echo "main $(outer_rect_of "$WIN"), monitor $(outer_rect_of "$MON"), cues $(outer_rect_of "$CUES")"; }
# The page coordinates of the text box, on the screen's pixels.
click_text_box() {
    locate_window
    xdotool mousemove $((WIN_X + 372 * SCALE)) $((WIN_Y + 232 * SCALE)) click 1
    sleep 0.3
}
group_setting() { sed -n "/^\[$1\]/,/^\[/p" "$SETTINGS" | sed -n "s/^$2=//p"; }
# same_rect W "X Y WIDTH HEIGHT": within a pixel of the scale's rounding on each count.
same_rect() {
    local a b
    read -r -a a < <(outer_rect_of "$1")
    read -r -a b <<<"$2"
    for i in 0 1 2 3; do
        local d=$((a[i] - b[i]))
        [ "${d#-}" -lt "$SCALE" ] || return 1
    done
}

printf '%s\n' "Text,Date,Time,Note" "Cue 1,,,first" "Cue 2,,,second" "Cue 3,,,third" >"$WORK/show.csv"
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app --monitor --cues "$WORK/show.csv"

step "on ${SCREEN_W}x${SCREEN_H} at scale $SCALE the three windows stand apart on the screen"
wait_for 60 desk_up || fail "--monitor --cues did not open the three windows"
wait_bytes com1 43
wait_for 10 desk_apart || fail "$(rects)"
rects
for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
    name=$(xdotool getwindowname "$w")
    [ -z "$name" ] || [[ "$name" == Tessora* ]] || fail "a window titled [$name]"
done

step "Ctrl+Space takes the next cue"
click_text_box
xdotool key ctrl+space
wait_for 15 row_is 0 "Cue 1" || fail "Ctrl+Space: row 00 is [$(unit_row com1 0)]"
screenshot "desk-${SCREEN_W}x${SCREEN_H}-scale${SCALE}"

step "F3 and F2 close the tools; opened again they come back where they were"
cues_at=$(outer_rect_of "$CUES")
mon_at=$(outer_rect_of "$MON")
key F3
wait_for 10 gone "Tessora Cues" || fail "F3 left the cue list open"
key F2
wait_for 10 gone "Tessora Monitor" || fail "F2 left the monitor open"
key F3
key F2
wait_for 10 desk_up || fail "F2 and F3 did not open the tools again"
wait_for 10 same_rect "$CUES" "$cues_at" || fail "the cue list came back at $(outer_rect_of "$CUES"), was $cues_at"
wait_for 10 same_rect "$MON" "$mon_at" || fail "the monitor came back at $(outer_rect_of "$MON"), was $mon_at"

step "the cue list the operator moved stays there, and the settings keep it"
read -r cx cy _ _ < <(outer_rect_of "$CUES")
# xdotool moves the client area: 16 pixels to the left, clear of the other windows.
read -r ix iy < <(xwininfo -id "$CUES" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}')
xdotool windowmove "$CUES" $((ix - 16)) "$iy"
moved() { [ "$(outer_rect_of "$CUES" | cut -d' ' -f1-2)" != "$cx $cy" ]; }
wait_for 10 moved || fail "the cue list did not move"
moved_at=$(outer_rect_of "$CUES")
key F3
wait_for 10 gone "Tessora Cues" || fail "F3 left the cue list open"
key F3
wait_for 10 desk_up || fail "F3 did not open the cue list again"
wait_for 10 same_rect "$CUES" "$moved_at" || fail "the moved list came back at $(outer_rect_of "$CUES"), was $moved_at"
quit_discarding
expect_eq "$(group_setting Monitor ByOperator)" 0 "the monitor nobody moved"
expect_eq "$(group_setting Cues ByOperator)" 1 "the moved cue list"

step "started again, the moved list stands where the operator left it, the others round it"
start_app --monitor --cues "$WORK/show.csv"
wait_for 60 desk_up || fail "--monitor --cues did not open the three windows again"
wait_for 10 desk_apart || fail "$(rects)"
wait_for 10 same_rect "$CUES" "$moved_at" || fail "the list came back at $(outer_rect_of "$CUES"), was $moved_at"
quit_discarding
echo "PASS [${SECONDS}s]"
