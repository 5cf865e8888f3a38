# Save, New and Open through the real window and the real file dialog, checked on the file's
# bytes, the window title and what the virtual unit is sent; then the save prompt at close.
source "$(dirname "$0")/lib.sh"

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
unasked_new
expect_eq "$(title)" "Halvercrest Pexalune - untitled" "title after New"
expect_send '\{A19\{C0000\{C0001$' "Send of screen 1 after New"
press Screen2
expect_send '\{A19\{C0000\{C0001$' "Send of screen 2 after New"

step "Open news.tso brings both screens back with Screen1 current"
unasked_open
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
