# A text goes out and is saved as it was loaded: a file with Windows line ends, opened and sent
# untouched, keeps the CR the layout sends before each row's end, and saved untouched it is
# the same file. A NUL pasted into the text box cuts nothing short.
source "$(dirname "$0")/lib.sh"

# Screen1: "Hello", CR, LF, "World"; three empty screens.
printf '\0\0\0\0\0\0\0\0\x0cHello\r\nWorld' >"$WORK/windows.tso"
head -c 27 /dev/zero >>"$WORK/windows.tso"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
wait_bytes com1 43

step "opened and sent untouched, each row keeps its CR"
press btnOpen
choose_file "Open" "$WORK/windows.tso"
expect_send $'\\{A19\\{C0000Hello\r\\{C0001World\\{C0002$' "Send of the untouched text"

step "saved untouched, it is the same file"
press btnSave
choose_file "Save As" "$WORK/again"
wait_for 5 test -s "$WORK/again.tso" || fail "again.tso was not written"
cmp "$WORK/again.tso" "$WORK/windows.tso" ||
    fail "again.tso holds $(od -An -c "$WORK/again.tso" | tr -s ' \n' ' ')"

step "a pasted NUL cuts nothing short"
"$CLIPBOARD_BIN" 'Before%00After' >"$WORK/clipboard.out" &
CLIP_PID=$!
wait_for 10 grep -q ready "$WORK/clipboard.out" || fail "the clipboard was not taken"
press scrText
key ctrl+a
key ctrl+v
expect_send '\{A19\{C0000BeforeAfter\{C0001$' "Send of the pasted text"
kill "$CLIP_PID"
quit_discarding
echo "PASS [${SECONDS}s]"
