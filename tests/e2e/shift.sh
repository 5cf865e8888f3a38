# One operator's whole session through the real window, with virtual caption units as COM1
# and COM2: greeting, four screens composed, Save, New, Open, each screen sent, Clear, a
# corner change, mini mode while the clock runs, Setup to COM2 and back, and a close that
# asks to save. After every step the bytes each unit received since the step before must be
# exactly what the step sends, with the clock's ticks only between whole commands, and the
# unit's display must show exactly what it should.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/setup_lib.sh"
CHECK="$(dirname "$0")/unit_check.pl"

# How far each unit's bytes have been checked.
declare -A CHECKED=([com1]=0 [com2]=0)

# expect_writes UNIT ITEM...: waits until the bytes since the last check are exactly what
# the items say (see unit_check.pl), failing at once on a wrong byte.
expect_writes() {
    local name=$1
    shift
    local deadline=$((SECONDS + 20)) out status
    while :; do
        status=0
        out=$(perl "$CHECK" writes "$WORK/$name.log" "${CHECKED[$name]}" "$@" 2>"$WORK/check.err") ||
            status=$?
        case $status in
            0) break ;;
            2) [ $SECONDS -lt $deadline ] || fail "unit $name: $(cat "$WORK/check.err")" ;;
            *) fail "unit $name: $(cat "$WORK/check.err")" ;;
        esac
        sleep 0.1
    done
    CHECKED[$name]=${out% *}
}

# expect_all_checked UNIT ITEM...: as expect_writes, once the unit has gone quiet, and every
# byte it has received must be accounted for (no tick left half-sent).
# A last item "tail:PATTERN" accepts a cut-short beginning of PATTERN after everything else.
expect_all_checked() {
    local name=$1 tail=
    shift
    wait_for 10 settled "$name" || fail "unit $name never went quiet"
    if [[ "${*: -1}" == tail:* ]]; then
        tail=${*: -1}
        tail=${tail#tail:}
        set -- "${@:1:$#-1}"
    fi
    expect_writes "$name" "$@"
    local rest
    rest=$(unit_bytes_from "$name" $((${CHECKED[$name]} + 1)))
    if [ -n "$tail" ] && [ -n "$rest" ] && [ ${#rest} -lt ${#tail} ]; then
        local i c p
        for ((i = 0; i < ${#rest}; ++i)); do
            c=${rest:i:1} p=${tail:i:1}
            if [ "$p" = "#" ]; then [[ "$c" == [0-9] ]] || break; else [ "$c" = "$p" ] || break; fi
        done
        [ "$i" -eq ${#rest} ] && return 0
    fi
    expect_eq "${CHECKED[$name]}" "$(unit_byte_count "$name")" "bytes accounted for at unit $name"
}
settled() {
    local count
    count=$(unit_byte_count "$1")
    sleep 0.5
    [ "$count" -eq "$(unit_byte_count "$1")" ]
}

# expect_display UNIT ROW:COL:TEXT...: the unit shows these texts and nothing else.
expect_display() {
    local name=$1
    shift
    perl "$CHECK" display "$WORK/$name.dump" "$@" 2>"$WORK/check.err" ||
        fail "unit $name: $(cat "$WORK/check.err")"
}

show_display() {
    echo "unit display ($1):"
    sed 's/^/    |/; s/$/|/' "$WORK/com1.dump"
    cp "$WORK/com1.dump" "$ARTEFACTS/$1.txt"
}

# type_lines LINE...: types the lines into the text box, one Return between them.
type_lines() {
    local line first=1
    for line in "$@"; do
        [ $first -eq 1 ] || key Return
        first=0
        type_text "$line"
    done
}

# The mini strip: the program's only visible window, far narrower than the full one.
strip_up() {
    local w width
    [ "$(main_page)" = 157 ] || return 1
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
        width=$(xwininfo -id "$w" | awk '/Width:/ {print $2}')
        if [ "$width" -lt 300 ]; then
            STRIP=$w
            return 0
        fi
    done
    return 1
}
full_gone() { ! main_window_any_title_up; }

# Stamp commands as the unit receives them; "#" is any digit.
DATE='##/##/##'
TIME='##:##:##'
S1_TICK="{C0000$DATE"                  # date Top Left, time None
S2_TICK="{C4418$TIME"                  # date None, time Bottom Right
S3_DATE_ONLY="{C4400$DATE"             # date Top Right before the time joins it
S3_TICK="{C3500$DATE{C4300 $TIME"      # both Top Right: one row, a space between
S4_DATE_ONLY="{C0018$DATE"             # date Bottom Left before the time is chosen
S4_TICK="{C0018$DATE{C4400$TIME"       # date Bottom Left, time Top Right
S4_MOVED_TICK="{C0018$DATE{C4418$TIME" # date Bottom Left, time Bottom Right
GREETED="${GREETING}{A19"

# The screens' texts, as typed and as the 8-bit bytes the unit and the file get.
S1_LINES=("Evening news" "Live from the harbour")
S2_LINES=("Weather" "" "Rain at the caf")   # then an e acute, by its key name
S2_BYTES=$'Weather\n\nRain at the caf\xe9'
S2_LAYOUT=$'{C0000Weather{C0001{C0002Rain at the caf\xe9{C0003'
S3_LINES=("Traffic")
FOX="The quick brown fox jumps over the lazy dog and then runs far away home"
S1_LAYOUT="{C0001Evening news{C0002Live from the harbour{C0003"
S3_LAYOUT="{C0001Traffic{C0002"
FOX_TOP="{C0000The quick brown fox jumps over the lazy dog and{C0001then runs far away home{C0002"
FOX_LOW="{C0001The quick brown fox jumps over the lazy dog and{C0002then runs far away home{C0003"
S1_SHOWN=("1:0:Evening news" "2:0:Live from the harbour")
S2_SHOWN=("0:0:Weather" "2:0:Rain at the café")
FOX_SHOWN_AT=("The quick brown fox jumps over the lazy dog and" "then runs far away home")

# The saved file: per screen the time corner, the date corner, the text's length and bytes.
{
    printf '\0\0\0\0\x01\0\0\0\x22%s\n%s' "${S1_LINES[@]}"
    printf '\x04\0\0\0\0\0\0\0\x19%s' "$S2_BYTES"
    printf '\x02\0\0\0\x02\0\0\0\x07%s' "Traffic"
    printf '\x02\0\0\0\x03\0\0\0\x47%s' "$FOX"
} >"$WORK/expected.tso"

start_unit com1
start_unit com2
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "COM2=${UNIT_DEVICE[com2]}"

step "start: COM1 is greeted and cleared, COM2 gets nothing"
start_app
wait_main_window
expect_writes com1 "B:$GREETED"
expect_display com1
expect_eq "$(unit_byte_count com2)" 0 "bytes at COM2"

step "Screen1: two lines, the date Top Left"
press scrText
type_lines "${S1_LINES[@]}"
choose cmbDate 1
expect_writes com1 "T:" "B:{A19$S1_TICK$S1_LAYOUT" "T:$S1_TICK"
expect_display com1 "0:0:$DATE" "${S1_SHOWN[@]}"

step "Screen2: an empty line and an accented letter, the time Bottom Right"
press Screen2
press scrText
type_lines "${S2_LINES[@]}"
# A character outside the keyboard map is typed reliably as a key press, not within a string.
key eacute
choose cmbTime 4
expect_writes com1 "T:$S1_TICK" "T:" "B:{A19$S2_TICK$S2_LAYOUT" "T:$S2_TICK"
expect_display com1 "${S2_SHOWN[@]}" "18:44:$TIME"

step "Screen3: date and time share the Top Right corner"
press Screen3
press scrText
type_lines "${S3_LINES[@]}"
choose cmbDate 2
expect_writes com1 "T:$S2_TICK" "T:" "B:{A19$S3_DATE_ONLY$S3_LAYOUT" "T:$S3_DATE_ONLY"
expect_display com1 "0:44:$DATE" "1:0:Traffic"
choose cmbTime 2
expect_writes com1 "T:$S3_DATE_ONLY" "B:{A19$S3_TICK$S3_LAYOUT" "T:$S3_TICK"
expect_display com1 "0:35:$DATE $TIME" "1:0:Traffic"

step "Screen4: a line wrapped at its last space, the date Bottom Left, the time Top Right"
press Screen4
press scrText
type_lines "$FOX"
choose cmbDate 3
expect_writes com1 "T:$S3_TICK" "T:" "B:{A19$S4_DATE_ONLY$FOX_TOP" "T:$S4_DATE_ONLY"
expect_display com1 "0:0:${FOX_SHOWN_AT[0]}" "1:0:${FOX_SHOWN_AT[1]}" "18:0:$DATE"
choose cmbTime 2
expect_writes com1 "T:$S4_DATE_ONLY" "B:{A19$S4_TICK$FOX_LOW" "T:$S4_TICK"
expect_display com1 "0:44:$TIME" "1:0:${FOX_SHOWN_AT[0]}" "2:0:${FOX_SHOWN_AT[1]}" "18:0:$DATE"
screenshot shift-four-screens

step "Save as show.tso: the file's bytes exactly; the clock goes on"
press btnSave
choose_file "Save As" "$WORK/show.tso"
wait_for 5 test -s "$WORK/show.tso" || fail "show.tso was not written"
cmp "$WORK/show.tso" "$WORK/expected.tso" ||
    fail "show.tso holds $(od -An -c "$WORK/show.tso" | tr -s ' \n' ' ')"
expect_eq "$(title)" "Halvercrest Pexalune - show" "title after Save"
expect_writes com1 "T:$S4_TICK"

step "New: untitled, no question, four empty screens and no stamps"
unasked_new
expect_eq "$(title)" "Halvercrest Pexalune - untitled" "title after New"
press btnSend
expect_writes com1 "T:$S4_TICK" "T:" "B:{A19{C0000{C0001"
for screen in Screen2 Screen3 Screen4; do
    press $screen
    press btnSend
    expect_writes com1 "T:" "B:{A19{C0000{C0001"
done
expect_display com1

step "Open show.tso: its title, Screen1 current, the clock on Screen1's corners"
unasked_open
choose_file "Open" "$WORK/show.tso"
expect_eq "$(title)" "Halvercrest Pexalune - show" "title after Open"
expect_writes com1 "T:" "T:$S1_TICK"

step "Send each screen in turn"
press btnSend
expect_writes com1 "T:$S1_TICK" "B:{A19$S1_TICK$S1_LAYOUT" "T:$S1_TICK"
expect_display com1 "0:0:$DATE" "${S1_SHOWN[@]}"
today=$(date +%d/%m/%y)
shown=$(unit_row com1 0 | cut -c1-8)
[ "$shown" == "$today" ] || [ "$shown" == "$(date +%d/%m/%y)" ] ||
    fail "the unit shows the date $shown on $today"
press Screen2
press btnSend
expect_writes com1 "T:$S1_TICK" "T:$S2_TICK" "B:{A19$S2_TICK$S2_LAYOUT" "T:$S2_TICK"
expect_display com1 "${S2_SHOWN[@]}" "18:44:$TIME"
press Screen3
press btnSend
expect_writes com1 "T:$S2_TICK" "T:$S3_TICK" "B:{A19$S3_TICK$S3_LAYOUT" "T:$S3_TICK"
expect_display com1 "0:35:$DATE $TIME" "1:0:Traffic"
press Screen4
press btnSend
expect_writes com1 "T:$S3_TICK" "T:$S4_TICK" "B:{A19$S4_TICK$FOX_LOW" "T:$S4_TICK"
expect_display com1 "0:44:$TIME" "1:0:${FOX_SHOWN_AT[0]}" "2:0:${FOX_SHOWN_AT[1]}" "18:0:$DATE"
show_display shift-screen4-sent
screenshot shift-screen4-sent

step "Clear: the text goes, the stamps stay"
press btnClear
expect_writes com1 "T:$S4_TICK" "B:{A19$S4_TICK" "T:$S4_TICK"
expect_display com1 "0:44:$TIME" "18:0:$DATE"

step "the time moves to Bottom Right: the screen is sent again, its text a row higher"
choose cmbTime 4
expect_writes com1 "T:$S4_TICK" "B:{A19$S4_MOVED_TICK$FOX_TOP" "T:$S4_MOVED_TICK"
expect_display com1 "0:0:${FOX_SHOWN_AT[0]}" "1:0:${FOX_SHOWN_AT[1]}" "18:0:$DATE" "18:44:$TIME"
show_display shift-time-moved

step "mini mode: the clock keeps ticking, and nothing else is sent"
before=$(unit_row com1 18 | cut -c45-52)
press btnToggle
wait_for 10 strip_up || fail "no mini strip"
wait_for 10 full_gone || fail "the full window stayed up beside the strip"
expect_writes com1 "T:$S4_MOVED_TICK"
expect_writes com1 "T:$S4_MOVED_TICK" "M:3"
screenshot shift-mini-strip
expect_display com1 "0:0:${FOX_SHOWN_AT[0]}" "1:0:${FOX_SHOWN_AT[1]}" "18:0:$DATE" "18:44:$TIME"
[ "$(unit_row com1 18 | cut -c45-52)" != "$before" ] || fail "the clock stood still at $before"
WIN=$STRIP
locate_window
click 40 10
wait_main_window_any_title
expect_writes com1 "T:$S4_MOVED_TICK"
press btnSend
expect_writes com1 "T:$S4_MOVED_TICK" "B:{A19$S4_MOVED_TICK$FOX_TOP" "T:$S4_MOVED_TICK"
MAIN_WIN=$WIN
MAIN_X=$WIN_X
MAIN_Y=$WIN_Y

step "Setup to COM2: COM2 is greeted and ticks on, COM1 gets nothing more"
open_setup btnSetup
expect_all_checked com1 "T:$S4_MOVED_TICK"
choose_in_setup cmbPort 1
wait_for 5 holds com2 || fail "COM2 not opened when chosen"
click ${SETUP_AT[btnOK]}
back_to_main
expect_writes com2 "T:" "B:$GREETED" "T:$S4_MOVED_TICK" "M:1"
expect_display com2 "18:0:$DATE" "18:44:$TIME"
expect_writes com1 "T:"

step "Setup back to COM1: COM1 is greeted and ticks on, COM2 gets nothing more"
open_setup btnSetup
expect_all_checked com2 "T:$S4_MOVED_TICK"
expect_all_checked com1 "T:"
choose_in_setup cmbPort 0
wait_for 5 holds com1 || fail "COM1 not opened when chosen"
click ${SETUP_AT[btnOK]}
back_to_main
expect_writes com1 "T:" "B:$GREETED" "T:$S4_MOVED_TICK" "M:1"
expect_display com1 "18:0:$DATE" "18:44:$TIME"

step "typing, then close: the save prompt, No, and the program ends"
press scrText
type_text " late"
key Escape
wait_for 10 prompt_up || fail "no save prompt at close"
sleep 0.5
screenshot shift-save-prompt
app_running || fail "the program ended without asking"
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key n
expect_exit 0
cmp "$WORK/show.tso" "$WORK/expected.tso" || fail "No changed the saved file"
expect_eq "$(setting CommPort)" "COM1" "stored port"
# Closing the port drops what is still queued, so the last tick may have been cut short.
expect_all_checked com1 "T:$S4_MOVED_TICK" "tail:$S4_MOVED_TICK"
expect_all_checked com2 "T:"
echo "PASS [${SECONDS}s]"
