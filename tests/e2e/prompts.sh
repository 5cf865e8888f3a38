# The save prompt has Yes and No and nothing else: Escape and its close button leave it up,
# at the close, at New and at Open alike, so a stray key never throws the text away. Escape
# in the text box with nothing changed closes at once, with no prompt.
source "$(dirname "$0")/lib.sh"

# escape_then_yes WHAT: at the prompt, Escape and a close request, then Yes. The save dialog
# that Yes opens shows that the prompt outlived both; that save is cancelled, which ends the
# command with the screens as they were.
escape_then_yes() {
    wait_for 10 prompt_up || fail "$1: no save prompt"
    xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
    key Escape
    wmctrl -i -c "$PROMPT" 2>/dev/null || true
    xdotool windowactivate --sync "$PROMPT" 2>/dev/null ||
        fail "$1: the prompt went at Escape or its close button"
    key y
    wait_for 15 file_dialog_up "Save As" || fail "$1: the prompt did not wait for an answer"
    key Escape
    wait_for 10 file_dialog_gone "Save As" || fail "$1: the save dialog stayed up"
    app_running || fail "$1: the program ended"
}

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
wait_bytes com1 43

press scrText
type_text "Keep this"

step "Escape and the close button at the prompt of the close"
key Escape
escape_then_yes "close"

step "... of New"
press btnNew
escape_then_yes "New"

step "... of Open"
press btnOpen
escape_then_yes "Open"

step "the text is still there"
expect_send '\{A19\{C0000Keep this\{C0001$' "Send after the three prompts"

step "saved, then Escape in the text box closes without asking"
press btnSave
choose_file "Save As" "$WORK/kept"
press scrText
key Escape
expect_exit 0
echo "PASS [${SECONDS}s]"
