# The operator's keys through the real window, with the keyboard in the text box: each runs
# the command of its button or tab, with the same prompts, exactly once, and leaves nothing
# in the text. On the strip the keys that put a screen on the picture work too.
source "$(dirname "$0")/lib.sh"

# Message numbers, as the "done" lines name the commands.
SELECT_SCREEN=1025 FILE_NEW=1026 FILE_OPEN=1027 FILE_SAVE=1028 SEND=1031 TOGGLE_MINI=1033
TOGGLE_MONITOR=1035
# Every command the test expects to run, in order; held against the program's own account at
# the end, so a key that runs its command twice shows whenever the second one comes.
EXPECTED=()
ran() { EXPECTED+=("$@"); }
done_messages() { grep ' done ' "$TESSORA_READY_FILE" | awk '{print $3}'; }

# press_key CHORD MESSAGE: the key, and the wait for its command to run.
press_key() {
    local before
    before=$(done_count)
    key "$1"
    wait_for 15 more_done_than "$before" || fail "$1 ran no command"
    ran "$2"
}
# send_by_key TEXT: Ctrl+Return puts TEXT on row 00 alone, with the bytes Send puts out.
send_by_key() {
    local from=$(($(unit_byte_count com1) + 1))
    press_key ctrl+Return $SEND
    wait_for 10 send_matches "$from" "\{A19\{C0000$1\{C0001\$" ||
        fail "Ctrl+Return sent [$(unit_bytes_from com1 "$from")], expected [$1] alone"
}
strip_shown() { [ "$(main_page)" = 157 ]; }
# A window named as the program's boxes are, other than the program's own window $WIN.
box_over_window() { xdotool search --onlyvisible --name '^Tessora$' 2>/dev/null | grep -qv "^$WIN\$"; }

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
wait_bytes com1 43

step "Ctrl+Return sends as Send does and puts no line into the text"
press scrText
type_text "First"
send_by_key "First"
# Typed on after the key: a line the key had put in would now split the text in two rows.
type_text " line"
send_by_key "First line"
screenshot keys-after-ctrl-return

step "Ctrl+Return held down sends once, however often the keyboard repeats it"
# The server repeats a held key 50 times a second, each repeat as a release and a press at
# one time stamp (see CMakeLists.txt); on a busy machine they reach the program apart.
from=$(($(unit_byte_count com1) + 1))
before=$(done_count)
xdotool keydown ctrl+Return
wait_for 15 more_done_than "$before" || fail "Ctrl+Return held ran no command"
ran $SEND
# The hold itself: some hundred repeats.
sleep 2
xdotool keyup ctrl+Return
# Commands run in order: a Send a repeat made would come before this one.
press_key ctrl+1 $SELECT_SCREEN
clears=$(unit_bytes_from com1 "$from" | grep -o '{A19' | wc -l)
expect_eq "$clears" 1 "Sends the unit got for one held Ctrl+Return"
send_matches "$from" '\{A19\{C0000First line\{C0001$' ||
    fail "the held key sent [$(unit_bytes_from com1 "$from")]"

step "Ctrl+2 selects screen 2 as its tab does, and the text box keeps the keyboard"
press_key ctrl+2 $SELECT_SCREEN
type_text "Second"
send_by_key "Second"
press_key ctrl+1 $SELECT_SCREEN
send_by_key "First line"

step "on the strip Ctrl+2, Ctrl+Return and F2 run their commands; Ctrl+N does nothing"
press btnToggle
ran $TOGGLE_MINI
wait_for 10 strip_shown || fail "no strip"
press_key ctrl+2 $SELECT_SCREEN
key ctrl+n
send_by_key "Second"
box_over_window && fail "Ctrl+N on the strip asked to save"
press_key F2 $TOGGLE_MONITOR
screenshot keys-strip
key Escape
wait_main_window

step "Ctrl+N with unsaved text asks to save first, as New does"
press scrText
key ctrl+n
wait_for 10 prompt_up || fail "Ctrl+N asked nothing with the text unsaved"
before=$(done_count)
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key n
wait_for 15 more_done_than "$before" || fail "New did not go on after No"
ran $FILE_NEW
wait_main_window_any_title
[[ "$(title)" == *untitled ]] || fail "title after Ctrl+N: $(title)"

step "Ctrl+S opens the Save dialog; then Ctrl+Return and Ctrl+N, which change nothing, ask nothing"
type_text "Saved text"
before=$(done_count)
key ctrl+s
choose_file "Save As" "$WORK/keys.tso" keys-save-dialog
wait_for 15 more_done_than "$before" || fail "Save did not end"
ran $FILE_SAVE
[ -s "$WORK/keys.tso" ] || fail "Ctrl+S saved no file"
# A send changes nothing to save, by key as by mouse.
send_by_key "Saved text"
press_key ctrl+n $FILE_NEW
prompt_up && fail "Ctrl+N asked to save a saved screen set"

step "Ctrl+O opens a screen set, read back as it was typed"
before=$(done_count)
key ctrl+o
choose_file "Open" "$WORK/keys.tso"
wait_for 15 more_done_than "$before" || fail "Open did not end"
ran $FILE_OPEN
send_by_key "Saved text"

step "F2 runs the monitor's command in the main window too"
press_key F2 $TOGGLE_MONITOR

step "each key ran its command once"
expect_eq "$(done_messages | tr '\n' ' ')" "$(printf '%s ' "${EXPECTED[@]}")" "commands run"
quit_discarding
echo "PASS [${SECONDS}s]"
