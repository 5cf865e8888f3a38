# The cue list in the real window with the virtual unit: a list from the command line taken
# cue by cue with Ctrl+Space and over HTTP into screen 4 alone, the markers, Loop, a reload
# when the file is replaced on disk, a broken file that leaves the list shown, the guard on
# text typed into the cue screen, and nothing taken while a dialog is open. Prints the
# figures: Ctrl+Space and a Send press to the first byte, and a 10 000-cue load.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cue_api.sh"

TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
CUE_TAKE=1036
now_ms() { date +%s%3N; }

cues() { expect_api 200 GET /api/v1/cues; }
status() { expect_api 200 GET /api/v1/status; }
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }
cues_window_up() { CUEWIN=$(xdotool search --onlyvisible --name '^Tessora Cues$' 2>/dev/null | head -n 1) && [ -n "$CUEWIN" ]; }
loaded_count() { grep -c " cues loaded " "$TESSORA_READY_FILE" 2>/dev/null || true; }
loaded_more_than() { [ "$(loaded_count)" -gt "$1" ]; }
refused_count() { grep -c " cues refused" "$TESSORA_READY_FILE" 2>/dev/null || true; }
refused_more_than() { [ "$(refused_count)" -gt "$1" ]; }
# take_by_key TEXT: Ctrl+Space runs the take, and the unit shows TEXT on row 00. The time
# from the key to the first byte goes into KEY_MS, on the unit's clock (UNIT_T0 is when it
# started, near enough: the same offset is in every figure, SEND_MS's too).
KEY_MS=()
SEND_MS=()
take_by_key() {
    local before count t
    before=$(done_count)
    count=$(unit_byte_count com1)
    t=$(now_ms)
    xdotool key ctrl+space
    wait_for 15 more_done_than "$before" || fail "Ctrl+Space ran no command"
    wait_for 10 row_is 0 "$1" || fail "Ctrl+Space: row 00 is [$(unit_row com1 0)], expected [$1]"
    KEY_MS+=($(($(unit_byte_time com1 $((count + 1))) - (t - UNIT_T0))))
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
# Replaces the list as an editor saves: a new file moved over the old one.
write_list() {
    printf '%s\n' "$@" >"$WORK/list.tmp"
    mv "$WORK/list.tmp" "$WORK/show.csv"
}

LIST=("Text,Date,Time,Note")
for i in 1 2 3 4 5 6 7 8 9 10 11; do LIST+=("Cue $i,,,note $i"); done
LIST+=("\"Last cue, on
two lines\",None,Bottom Right,ends the show")
write_list "${LIST[@]}"

UNIT_T0=$(now_ms)
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN" "[Cues]" "Loop=1"
start_app --cues "$WORK/show.csv"
wait_main_window
wait_bytes com1 43
wait_for 20 loaded_more_than 0 || fail "the list named on the command line was not loaded"
wait_for 15 cues_window_up || fail "--cues opened no cue window"
locate_window
press scrText
status
before_screens=$(jq -c '[.screens[0:3][]]' "$WORK/answer")

step "Ctrl+Space takes three cues in turn into screen 4, and asks nothing to save"
take_by_key "Cue 1"
take_by_key "Cue 2"
take_by_key "Cue 3"
status
expect_eq "$(field .screen)" 4 "the cue screen is current"
expect_eq "$(field '.screens[3].text')" "Cue 3" "screen 4"
expect_eq "$(jq -c '[.screens[0:3][]]' "$WORK/answer")" "$before_screens" "screens 1 to 3"
# What is on air is told once the line has let the take go.
on_air_from() { status && [ "$(field '[.on_air.origin, .on_air.cue] | tostring')" = "$1" ]; }
wait_for 10 on_air_from '["cue",3]' || fail "on air from: $(field '[.on_air.origin, .on_air.cue] | tostring')"
cues
expect_eq "$(field '[.count, .next, .on_air, .next_text] | tostring')" '[12,4,3,"Cue 4"]' "markers"
screenshot cues-three-taken

step "Send pressed with the mouse, for the figures"
xdotool mousemove $((WIN_X + 544)) $((WIN_Y + 412))
for i in 1 2 3; do
    before=$(done_count)
    count=$(unit_byte_count com1)
    t=$(now_ms)
    xdotool click 1
    wait_for 15 more_done_than "$before" || fail "Send ran no command"
    wait_bytes com1 $((count + 1))
    SEND_MS+=($(($(unit_byte_time com1 $((count + 1))) - (t - UNIT_T0))))
done

step "HTTP: take a cue by number, move the next marker back and on; a panel is told"
"$6" "ws://127.0.0.1:$PORT/api/v1/events?token=$TOKEN" >"$WORK/push.out" 2>/dev/null &
# told JQ-SELECT: the push client has had a message that matches.
told() { [ "$(jq -c "select($1)" "$WORK/push.out" 2>/dev/null | wc -l)" -gt 0 ]; }
wait_for 10 told '.type == "state"' || fail "the push client got no state"
expect_api 200 POST /api/v1/cues/take '{"cue": 12}'
wait_for 10 told '.type == "cue" and .on_air == 12 and .next == 1' ||
    fail "no cue message for the take: $(cat "$WORK/push.out")"
told '.type == "on_air" and .on_air.origin == "cue" and .on_air.screen == 4' ||
    fail "no on_air message from the cue: $(cat "$WORK/push.out")"
wait_for 10 row_is 0 "Last cue, on" || fail "take of cue 12: row 00 [$(unit_row com1 0)]"
wait_for 10 row_is 1 "two lines" || fail "row 01: [$(unit_row com1 1)]"
# With Loop the last cue leaves the first next.
cue_state_is() { cues && [ "$(field '[.on_air, .next] | tostring')" = "$1" ]; }
wait_for 10 cue_state_is "[12,1]" || fail "after the last cue: $(field '[.on_air, .next] | tostring')"
expect_api 200 POST /api/v1/cues/previous
expect_eq "$(field .next)" 12 "previous from the first, looped"
expect_api 200 POST /api/v1/cues/next
expect_eq "$(field .next)" 1 "next"
key ctrl+Down
key ctrl+Down
cues
expect_eq "$(field .next)" 3 "after Ctrl+Down twice"
expect_api 400 POST /api/v1/cues/take '{"cue": 13}'
take_by_key "Cue 3"
status
expect_eq "$(field .modified)" false "modified after cues only"

step "on the strip Ctrl+Space takes the next cue too"
press btnToggle
strip_shown() { [ "$(main_page)" = 157 ]; }
wait_for 10 strip_shown || fail "no strip"
take_by_key "Cue 4"
key Escape
wait_main_window

step "Return in the list takes the cue selected there"
xdotool windowactivate --sync "$CUEWIN" 2>/dev/null || true
cue_window_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$CUEWIN" ]; }
wait_for 10 cue_window_active || fail "the cue window never took the keyboard"
key ctrl+Home
key Down
key Down
before=$(done_count)
key Return
wait_for 15 more_done_than "$before" || fail "Return in the list ran no command"
wait_for 10 row_is 0 "Cue 3" || fail "Return on row 3: row 00 is [$(unit_row com1 0)]"
press scrText

step "a file replaced on disk is read again, the markers kept; a broken one leaves the list"
loaded=$(loaded_count)
write_list "${LIST[@]}" "Added one," "Added two,"
wait_for 15 loaded_more_than "$loaded" || fail "the replaced file was not read again"
cues
expect_eq "$(field '[.count, .next, .on_air, .rows[13].text] | tostring')" '[14,4,3,"Added two"]' "after the reload"
refused=$(refused_count)
write_list "Text,Note" '"broken,x'
wait_for 15 refused_more_than "$refused" || fail "the broken file was not refused"
cues
expect_eq "$(field .count)" 14 "the list shown after a broken file"
write_list "${LIST[@]}" "Added one," "Added two,"
wait_for 15 loaded_more_than "$((loaded + 1))" || fail "the mended file was not read again"

step "10 000 cues load without holding the clock up"
# A cue with a time stamp, so the clock writes every second.
expect_api 200 POST /api/v1/cues/take '{"cue": 12}'
wait_for 10 row_is 0 "Last cue, on" || fail "take of cue 12 for the clock"
{
    echo "Text,Note"
    for ((i = 1; i <= 10000; ++i)); do echo "\"Cue number $i of the long show\",row $i"; done
} >"$WORK/long.tmp"
loaded=$(loaded_count)
t_load=$(now_ms)
mv "$WORK/long.tmp" "$WORK/show.csv"
wait_for 60 loaded_more_than "$loaded" || fail "10 000 cues were not loaded"
load_ms=$(($(now_ms) - t_load))
# The clock's writes from a second before the load to two seconds after it, each second's
# stamps one burst: the longest pause between bursts beyond the second is how late it ran.
from_unit=$((t_load - UNIT_T0 - 1000))
until_unit=$((t_load - UNIT_T0 + load_ms + 2000))
ticked_past() { [ "$(tail -n 1 "$WORK/com1.log" | cut -d' ' -f1)" -gt "$until_unit" ]; }
wait_for 10 ticked_past || fail "the clock stopped"
tick_late=$(awk -v from="$from_unit" -v until="$until_unit" '$1 >= from && $1 <= until {
        if (last != "" && $1 - last > 300 && $1 - last - 1000 > late) late = $1 - last - 1000
        last = $1 } END { print late + 0 }' "$WORK/com1.log")
cues
expect_eq "$(field '[.count, .next, .on_air] | tostring')" '[10000,13,12]' "10 000 cues, the markers kept"

step "text typed into the cue screen by hand is not written over unasked"
press scrText
key ctrl+a
type_text "Typed by hand"
expect_api 409 POST /api/v1/cues/take
[[ "$(field .error)" == *"typed by hand"* ]] || fail "409 said: $(field .error)"
key ctrl+space
wait_for 10 prompt_up || fail "Ctrl+Space over typed text asked nothing"
screenshot cues-typed-prompt
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key n
wait_main_window_any_title
row_is 0 "Last cue, on" || fail "No still took the cue: [$(unit_row com1 0)]"
status
expect_eq "$(field '.screens[3].text')" "Typed by hand" "screen 4 after No"

step "while a box or a dialog is open nothing is taken: 409, and the unit unchanged"
press btnOpen
wait_for 15 prompt_up || fail "Open did not offer to save the typed text"
expect_api 409 POST /api/v1/cues/take '{"cue": 5}'
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key n
wait_for 15 file_dialog_up Open || fail "Open showed no dialog"
expect_api 409 POST /api/v1/cues/next
key ctrl+space
xdotool windowactivate --sync "$DIALOG" key Escape 2>/dev/null || true
wait_for 10 file_dialog_gone Open || fail "the Open dialog stayed up"
wait_main_window_any_title
# The clock's ticks go on; anything else after the dialog would be a take.
row_is 0 "Last cue, on" || fail "a take ran under the dialog: [$(unit_row com1 0)]"

echo "figures: Ctrl+Space to the first byte ${KEY_MS[*]} ms (median $(median "${KEY_MS[@]}")), a Send press ${SEND_MS[*]} ms (median $(median "${SEND_MS[@]}"));" \
    "10 000 cues shown after ${load_ms} ms (file replaced to list read, watched from the shell);" \
    "the clock up to ${tick_late} ms late meanwhile"
quit_discarding
# The list, its window and the settings read at start are kept for the next start.
expect_eq "$(sed -n '/^\[Cues\]/,/^\[/p' "$SETTINGS" | grep -E '^(File|Loop|Open|Screen)=' | sort | tr '\n' ' ')" \
    "File=$WORK/show.csv Loop=1 Open=1 Screen=4 " "the Cues group kept"
echo "PASS [${SECONDS}s]"
