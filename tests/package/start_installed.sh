# The installed program against the installed virtual unit, under xvfb-run: it greets the
# unit, shows its main window and ends with code 0 when the window is closed.
#   bash start_installed.sh /usr/bin/tessora /usr/bin/tessora-unit ARTEFACT_DIR
source "$(dirname "$0")/../e2e/lib.sh"

step "the greeting, then a clear"
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_bytes com1 43 30
expect_eq "$(unit_bytes com1 | head -c 43)" "${GREETING}{A19" "bytes at the unit"

step "the main window"
wait_main_window 60
screenshot installed-main-window

step "closing the window ends the program with code 0"
wmctrl -c Tessora
expect_exit 0
echo "PASS [${SECONDS}s]"
