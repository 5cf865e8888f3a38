# Save, New and Open through the real window and the real file dialog, checked on the file's
# bytes, the window title and what the virtual unit is sent; then the save prompt at close.
source "$(dirname "$0")/lib.sh"

title() { xdotool getwindowname "$WIN"; }

# file_dialog_up TITLE: the program's file dialog is showing; its window is $DIALOG.
file_dialog_up() {
    DIALOG=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$DIALOG" ]
}
file_dialog_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# choose_file TITLE PATH [SHOT]: types a full path into the dialog's file name field (which
# holds "*.tso" at first) and accepts it.
choose_file() {
    wait_for 15 file_dialog_up "$1" || fail "no \"$1\" dialog"
    xdotool windowactivate --sync "$DIALOG" 2>/dev/null || true
    sleep 0.5
    [ -n "${3:-}" ] && screenshot "$3"
    key ctrl+a
    type_text "$2"
    key Return
    # A completion list over the field takes the first Return.
    wait_for 3 file_dialog_gone "$1" || key Return
    wait_for 10 file_dialog_gone "$1" || fail "the \"$1\" dialog stayed up"
}

# send_matches FROM REGEX: what unit com1 received from byte FROM on matches REGEX. The
# clock's ticks may come before the Send, so the match is not anchored at the start.
send_matches() { [[ "$(unit_bytes_from com1 "$1")" =~ $2 ]]; }
# expect_send REGEX WHAT: presses Send and waits for bytes matching REGEX.
expect_send() {
    local from=$(($(unit_byte_count com1) + 1))
    press btnSend
    wait_for 10 send_matches "$from" "$1" || fail "$2: $(unit_bytes_from com1 "$from")"
}

# The message box the program raised over the main window ("Tessora", not the main window).
prompt_up() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Tessora$' 2>/dev/null); do
        if ! xwininfo -id "$w" | grep -q 'Width: 650'; then
            PROMPT=$w
            return 0
        fi
    done
    return 1
}

# Screen1: time corner 2 (Top Right) and "Evening news"; Screen2: "Weather"; the rest empty.
printf '\x02\0\0\0\0\0\0\0\x0cEvening news\0\0\0\0\0\0\0\0\x07Weather' >"$WORK/expected.tso"
printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' >>"$WORK/expected.tso"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
wait_bytes com1 43

step "two screens typed, saved under the name news"
press scrText
type_text "Evening news"
choose cmbTime 2
press Screen2
press scrText
type_text "Weather"
press btnSave
choose_file "Save As" "$WORK/news" files-save-dialog
wait_for 5 test -s "$WORK/news.tso" || fail "news.tso was not written"
cmp "$WORK/news.tso" "$WORK/expected.tso" ||
    fail "news.tso holds $(od -An -tx1 "$WORK/news.tso" | tr -s ' \n' ' ')"
wait_main_window_any_title
expect_eq "$(title)" "Halvercrest Pexalune - news" "title after Save"
[ -z "$(find "$WORK" -maxdepth 1 -name '.news*')" ] || fail "a temporary file was left"

step "New clears every screen without asking"
press btnNew
sleep 1
prompt_up && fail "New asked after a save"
expect_eq "$(title)" "Halvercrest Pexalune - untitled" "title after New"
expect_send '\{A19\{C0000\{C0001$' "Send of screen 1 after New"
press Screen2
expect_send '\{A19\{C0000\{C0001$' "Send of screen 2 after New"

step "Open news.tso brings both screens back with Screen1 current"
press btnOpen
sleep 1
prompt_up && fail "Open asked with nothing changed"
choose_file "Open" "$WORK/news.tso"
wait_main_window_any_title
expect_eq "$(title)" "Halvercrest Pexalune - news" "title after Open"
expect_send '\{A19\{C4400[0-9]{2}:[0-9]{2}:[0-9]{2}\{C0001Evening news\{C0002' \
    "Send of screen 1 after Open"
press Screen2
expect_send '\{A19\{C0000Weather\{C0001$' "Send of screen 2 after Open"

step "text typed just before closing brings up the save prompt"
press scrText
type_text " late"
key Escape
wait_for 10 prompt_up || fail "no save prompt at close"
sleep 0.5
screenshot files-save-prompt
app_running || fail "the program ended without asking"
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key n
expect_exit 0
cmp "$WORK/news.tso" "$WORK/expected.tso" || fail "No changed the saved file"
echo "PASS [${SECONDS}s]"
