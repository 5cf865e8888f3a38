# Shared steps of the end-to-end tests: a window manager on the test's own X server, virtual
# caption units on pseudo-terminals, the real program with its own settings home, and
# operator actions through xdotool. Sourced by each test script, which runs under xvfb-run:
#   bash <test>.sh <tessora> <tessora-unit> <artefact folder> <clipboard owner>
set -euo pipefail

TESSORA_BIN=$1
UNIT_BIN=$2
ARTEFACTS=$3
# Holds the clipboard with a text given percent-encoded, for pastes an operator could make.
CLIPBOARD_BIN=${4:-}
mkdir -p "$ARTEFACTS"
WORK=$(mktemp -d /tmp/tessora-e2e.XXXXXX)
export XDG_CONFIG_HOME="$WORK/config"
export XDG_STATE_HOME="$WORK/state"
export QTWEBENGINE_DISABLE_SANDBOX=1
# No session bus on a test server: fail at once rather than wait for one to be launched.
export DBUS_SESSION_BUS_ADDRESS=disabled:
# The browser engine's own libraries free some objects with a mismatched size; that is theirs.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:new_delete_type_mismatch=0}
# The program's own word on what it has taken up: "<ms> ready <page url>" for each page
# filled and shown, "<ms> done <message>" for each command run and applied to the page.
export TESSORA_READY_FILE="$WORK/ready"
SETTINGS="$XDG_CONFIG_HOME/Halvercrest/Tessora.conf"
mkdir -p "$(dirname "$SETTINGS")"
APP_PID=
WIN=
WIN_X=0
WIN_Y=0
declare -A UNIT_DEVICE UNIT_PIDS

GREETING='{A19{C0000Halvercrest Tessora Connected'

cleanup() {
    if [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null; then
        sleep 1
        kill -9 "$APP_PID" 2>/dev/null || true
    fi
    for pid in "${UNIT_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$WORK/app.log" ]; then
        echo "program output (last lines):" >&2
        grep -v -e '^ *\*' -e 'GpuControl' "$WORK/app.log" | tail -n 25 >&2
    fi
    screenshot "failure-$(basename "$0" .sh)" || true
    if [ -n "$APP_PID" ] && command -v gdb >/dev/null; then
        xwininfo -root -tree | grep -i tessora >&2 || true
        ps -o pid,stat,etime,cmd -p "$APP_PID" >&2 || true
        gdb -p "$APP_PID" -batch -ex "thread 1" -ex "bt 25" 2>/dev/null | grep '^#' >&2 || true
    fi
    exit 1
}

step() { echo "-- [${SECONDS}s] $*"; }

# Polls a command until it succeeds; fails the test after the limit (seconds).
wait_for() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

start_wm() {
    local deadline=$((SECONDS + 30))
    until wmctrl -m >/dev/null 2>&1; do
        # (Re)start the window manager if it is not running; a busy machine may need a while.
        if [ -z "${WM_PID:-}" ] || ! kill -0 "$WM_PID" 2>/dev/null; then
            openbox >/dev/null 2>&1 &
            WM_PID=$!
        fi
        [ $SECONDS -lt $deadline ] || fail "no window manager on display ${DISPLAY:-none}"
        sleep 0.2
    done
}

# start_unit NAME: a virtual caption unit; its device is ${UNIT_DEVICE[NAME]}.
start_unit() {
    local name=$1
    "$UNIT_BIN" --quiet --dump "$WORK/$name.dump" --log "$WORK/$name.log" >"$WORK/$name.out" &
    UNIT_PIDS[$name]=$!
    wait_for 5 test -s "$WORK/$name.out" || fail "unit $name printed no device"
    UNIT_DEVICE[$name]=$(head -n 1 "$WORK/$name.out")
    touch "$WORK/$name.log"
}

# The bytes unit NAME has received, as raw text.
unit_bytes() { perl -ne '@f = split; print chr(hex($f[1]))' "$WORK/$1.log"; }
unit_byte_count() { wc -l <"$WORK/$1.log"; }
# Arrival time (ms) of byte number N (1-based) at unit NAME.
unit_byte_time() { sed -n "$2p" "$WORK/$1.log" | cut -d' ' -f1; }
# Row R (0-18) of unit NAME's display.
unit_row() { sed -n "$(($2 + 1))p" "$WORK/$1.dump"; }
unit_has_bytes() { [ "$(unit_byte_count "$1")" -ge "$2" ]; }
wait_bytes() { wait_for "${3:-15}" unit_has_bytes "$1" "$2" || fail "unit $1 got $(unit_byte_count "$1") of $2 bytes: $(unit_bytes "$1" | cat -v)"; }
# What unit NAME received from byte FROM (1-based) on.
unit_bytes_from() { unit_bytes "$1" | tail -c +"$2"; }

# send_matches FROM REGEX: what unit com1 received from byte FROM on matches REGEX. The
# clock's ticks may come before the Send, so the match is not anchored at the start.
send_matches() { [[ "$(unit_bytes_from com1 "$1")" =~ $2 ]]; }
# expect_send REGEX WHAT: presses Send and waits for bytes matching REGEX.
expect_send() {
    local from=$(($(unit_byte_count com1) + 1))
    press btnSend
    wait_for 10 send_matches "$from" "$1" || fail "$2: $(unit_bytes_from com1 "$from")"
}

settings() { printf '%s\n' "$@" >"$SETTINGS"; }

# start_app [ARGUMENTS...]: the program, with these command-line arguments.
start_app() {
    : >"$TESSORA_READY_FILE"
    "$TESSORA_BIN" "$@" >"$WORK/app.log" 2>&1 &
    APP_PID=$!
}

# The page the main window has taken up last: 104 (the main page) or 157 (the strip).
main_page() { sed -n 's@.* ready res://[^/]*/\(104\|157\)$@\1@p' "$TESSORA_READY_FILE" 2>/dev/null | tail -n 1; }
# How often page ID (103 is Setup's) has been taken up since the program started.
ready_count() { grep -c " ready res://[^/]*/$1\$" "$TESSORA_READY_FILE" 2>/dev/null || true; }
# How many posted commands the program has run to the end.
done_count() { grep -c ' done ' "$TESSORA_READY_FILE" 2>/dev/null || true; }
more_done_than() { [ "$(done_count)" -gt "$1" ]; }

# window_of_width WIDTH XDOTOOL-SEARCH-ARGS...: the first visible window the search finds
# whose client is WIDTH pixels wide, into $FOUND.
window_of_width() {
    local width=$1 w
    shift
    for w in $(xdotool search --onlyvisible "$@" 2>/dev/null); do
        if xwininfo -id "$w" | grep -q "Width: $width\$"; then
            FOUND=$w
            return 0
        fi
    done
    return 1
}

main_window_up() { [ "$(main_page)" = 104 ] && window_of_width 650 --name '^Tessora$' && WIN=$FOUND; }

wait_main_window() {
    wait_for "${1:-40}" main_window_up || fail "main window never appeared"
    locate_window
}

# The main window whatever its title (a file command names the file in it): the program's
# own window that is 650 pixels wide.
main_window_any_title_up() { [ "$(main_page)" = 104 ] && window_of_width 650 --pid "$APP_PID" && WIN=$FOUND; }

wait_main_window_any_title() {
    wait_for "${1:-40}" main_window_any_title_up || fail "main window never appeared"
    locate_window
}

# The outer rectangle (frame included) of window W: "x y width height".
outer_rect_of() {
    local info x y cw ch l r t b
    info=$(xwininfo -id "$1")
    x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
    cw=$(awk '/Width:/ {print $2}' <<<"$info")
    ch=$(awk '/Height:/ {print $2}' <<<"$info")
    # _NET_FRAME_EXTENTS = left, right, top, bottom
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    echo "$((x - l)) $((y - t)) $((cw + l + r)) $((ch + t + b))"
}

locate_window() {
    WIN_X=$(xwininfo -id "$WIN" | awk '/Absolute upper-left X/ {print $4}')
    WIN_Y=$(xwininfo -id "$WIN" | awk '/Absolute upper-left Y/ {print $4}')
}

# click X Y [BUTTON]: a press and release at page coordinates of the window.
click() {
    xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2))
    sleep 0.1
    xdotool click "${3:-1}"
    sleep 0.3
}

type_text() {
    xdotool type --delay 20 "$1"
    sleep 0.3
}

key() {
    xdotool key --clearmodifiers "$@"
    sleep 0.3
}

# Where the main page's controls are (centres, page coordinates).
declare -A AT=(
    [btnNew]="60 52" [btnOpen]="108 52" [btnSave]="156 52" [btnSetup]="204 52"
    [btnToggle]="452 52" [tagNew]="60 24" [tagOpen]="108 24" [tagSave]="156 24"
    [tagSetup]="204 24" [tagToggle]="452 24" [logo]="536 36"
    [Screen1]="72 136" [Screen2]="71 224" [Screen3]="72 312" [Screen4]="72 400"
    [screenPicture1]="60 160" [scrText]="372 232" [cmbDate]="272 370" [cmbTime]="272 410"
    [btnClear]="544 372" [btnSend]="544 412"
)
# press ID [BUTTON]; a press on a screen tab, Send or Clear returns once its command has run.
press() {
    local before
    before=$(done_count)
    click ${AT[$1]} "${2:-1}"
    case $1 in
        Screen[1-4] | btnSend | btnClear)
            wait_for 15 more_done_than "$before" || fail "pressing $1 ran no command"
            ;;
    esac
}

# choose LIST INDEX: picks option INDEX (0-4) of a corner list, as an operator would.
choose() {
    press "$1"
    key Home
    local i
    for ((i = 0; i < $2; ++i)); do key Down; done
    key Return
}

screenshot() {
    import -window root "$ARTEFACTS/$1.png" 2>/dev/null && echo "screenshot: $ARTEFACTS/$1.png"
}

app_running() { kill -0 "$APP_PID" 2>/dev/null; }

# Waits for the program to end and checks its exit code.
expect_exit() {
    local code=$1
    wait_for 20 bash -c "! kill -0 $APP_PID 2>/dev/null" || fail "program did not end"
    local status=0
    wait "$APP_PID" || status=$?
    APP_PID=
    [ "$status" -eq "$code" ] || fail "exit code $status, expected $code"
}

title() { xdotool getwindowname "$WIN"; }

# file_dialog_up TITLE: the program's file dialog is showing; its window is $DIALOG.
file_dialog_up() {
    DIALOG=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$DIALOG" ]
}
dialog_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$DIALOG" ]; }
file_dialog_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# choose_file TITLE PATH [SHOT]: types a full path into the dialog's file name field (which
# holds "*.tso" at first) and accepts it.
choose_file() {
    wait_for 15 file_dialog_up "$1" || fail "no \"$1\" dialog"
    xdotool windowactivate --sync "$DIALOG" 2>/dev/null || true
    wait_for 10 dialog_active || fail "the \"$1\" dialog never took the keyboard"
    [ -n "${3:-}" ] && screenshot "$3"
    key ctrl+a
    type_text "$2"
    key Return
    # A completion list over the field takes the first Return.
    wait_for 3 file_dialog_gone "$1" || key Return
    wait_for 10 file_dialog_gone "$1" || fail "the \"$1\" dialog stayed up"
    wait_main_window_any_title
}

# unasked_new / unasked_open: New runs to its end, Open shows its file dialog, and neither
# asks to save first.
new_done_or_asked() { more_done_than "$1" || prompt_up; }
unasked_new() {
    local before
    before=$(done_count)
    press btnNew
    wait_for 15 new_done_or_asked "$before" || fail "New neither ended nor asked"
    prompt_up && fail "New asked to save" || true
}
open_dialog_or_asked() { file_dialog_up Open || prompt_up; }
unasked_open() {
    press btnOpen
    wait_for 15 open_dialog_or_asked || fail "Open showed no dialog"
    prompt_up && fail "Open asked to save" || true
}

# The message box the program raised over the main window ("Tessora", not the main window);
# its window is $PROMPT.
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

# Closes the program, answering No if it asks to save, and checks it ends with code 0.
quit_discarding() {
    key Escape
    local deadline=$((SECONDS + 3))
    while app_running && [ $SECONDS -lt $deadline ]; do
        local w
        for w in $(xdotool search --onlyvisible --name '^Tessora$' 2>/dev/null); do
            if ! xwininfo -id "$w" | grep -q 'Width: 650'; then
                xdotool windowactivate --sync "$w" key n 2>/dev/null || true
                break 2
            fi
        done
        sleep 0.2
    done
    expect_exit 0
}

setting() { sed -n "s/^$1=//p" "$SETTINGS" | head -n 1; }

expect_eq() {
    [ "$1" == "$2" ] || fail "$3: got [$1], expected [$2]"
}

# Characters the tests type that the server's us keymap has no key for get spare keycodes of
# their own. Otherwise xdotool binds one for a few milliseconds per press, and a window that
# reads the keymap a little later sees a key with no symbol.
bind_extra_keys() {
    xkbcomp -xkb "$DISPLAY" "$WORK/keymap.xkb" 2>/dev/null || fail "cannot read the keymap"
    sed -i '/^xkb_symbols/a\    key <I248> { [ eacute, Eacute ] };' "$WORK/keymap.xkb"
    xkbcomp "$WORK/keymap.xkb" "$DISPLAY" 2>/dev/null
    # Read whole before the search: grep -q stops at the first match, and the writer it
    # leaves behind would fail the pipe.
    xkbcomp -xkb "$DISPLAY" "$WORK/keymap-now.xkb" 2>/dev/null || fail "cannot read the keymap back"
    grep -q 'eacute' "$WORK/keymap-now.xkb" || fail "no key for eacute"
}

start_wm
bind_extra_keys
