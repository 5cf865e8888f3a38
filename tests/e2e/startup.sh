# Start-up with the virtual unit as COM1, closing by Escape and by the close box, and the
# message when no port can be opened.
source "$(dirname "$0")/lib.sh"

step "greeting, then a clear 1500 ms later"
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_bytes com1 43 20
expect_eq "$(unit_bytes com1)" "${GREETING}{A19" "bytes at the unit"
# From the greeting's first byte: the clear is queued 1500 ms after the greeting was, and on a
# busy machine the greeting's last bytes may reach the unit well after its first.
pause=$(($(unit_byte_time com1 40) - $(unit_byte_time com1 1)))
[ "$pause" -ge 1400 ] && [ "$pause" -le 2500 ] || fail "greeting stayed $pause ms"
wait_main_window
screenshot startup-main-window

step "Escape ends the program with code 0 and stores the settings"
key Escape
expect_exit 0
for name in CommPort MinPosX MinPosY MinSizeWidth MinSizeHeight; do
    [ -n "$(setting $name)" ] || fail "setting $name not stored"
done
expect_eq "$(setting CommPort)" "COM1" "stored port"

step "the close box ends it too"
start_app
wait_main_window
wmctrl -c Tessora
expect_exit 0

step "a missing port: the message comes before the main window"
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=$WORK/no-such-device"
start_app
message_up() { xdotool search --onlyvisible --name '^Tessora$' >/dev/null 2>&1; }
wait_for 40 message_up || fail "no message box"
main_window_up && fail "main window shown before the message"
screenshot startup-port-message
key Return
wait_main_window
key Escape
expect_exit 0
echo "PASS [${SECONDS}s]"
