# A screen set named on the command line, through the real window: a good file is opened
# as Open opens it; a cut-short file and a missing one bring up Open's box over the window
# and leave four empty screens. Then the command lines the program refuses.
source "$(dirname "$0")/lib.sh"

# Screen1: time corner 2 (Top Right) and "Evening news"; Screen2: "Weather"; the rest empty.
printf '\x02\0\0\0\0\0\0\0\x0cEvening news\0\0\0\0\0\0\0\0\x07Weather' >"$WORK/news.show.tso"
printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' >>"$WORK/news.show.tso"
head -c 20 "$WORK/news.show.tso" >"$WORK/short.tso"

send_matches() { [[ "$(unit_bytes_from com1 "$1")" =~ $2 ]]; }
# expect_send REGEX WHAT: presses Send and waits for bytes matching REGEX.
expect_send() {
    local from=$(($(unit_byte_count com1) + 1))
    press btnSend
    wait_for 10 send_matches "$from" "$1" || fail "$2: $(unit_bytes_from com1 "$from")"
}
# The program's word that the file named on its command line (message WM_USER+10) has been
# opened, or refused, and the page shows the result.
start_file_done() { grep -q ' done 1034$' "$TESSORA_READY_FILE" 2>/dev/null; }

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"

step "a good file: greeted first, then opened, titled and sent"
start_app "$WORK/news.show.tso"
wait_bytes com1 43 30
expect_eq "$(unit_bytes com1 | head -c 43)" "${GREETING}{A19" "the first bytes at the unit"
wait_for 60 start_file_done || fail "the file was never taken up"
wait_main_window_any_title
expect_eq "$(title)" "Halvercrest Pexalune - news.show" "title after start"
prompt_up && fail "a box came up for a good file"
screenshot command-line-opened
expect_send '\{A19\{C4400[0-9]{2}:[0-9]{2}:[0-9]{2}\{C0001Evening news\{C0002' "Send of screen 1"
press Screen2
expect_send '\{A19\{C0000Weather\{C0001$' "Send of screen 2"
quit_discarding

# bad_file PATH SHOT: the box comes up over the shown window and leaves the empty set; the
# box's width goes to $BOX_WIDTH.
bad_file() {
    start_app "$1"
    wait_for 60 prompt_up || fail "no box for $1"
    start_file_done && fail "the file command ended before its box was answered"
    window_of_width 650 --name '^Tessora$' || fail "the box for $1 came before the main window"
    BOX_WIDTH=$(xwininfo -id "$PROMPT" | awk '/Width:/ {print $2}')
    screenshot "$2"
    xdotool windowactivate --sync "$PROMPT" key Return 2>/dev/null || true
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Tessora\$' | grep -qx $PROMPT" ||
        fail "the box for $1 stayed up"
    app_running || fail "the program ended after the box for $1"
    wait_for 20 start_file_done || fail "the file command did not end after its box"
    wait_main_window
    expect_eq "$(title)" "Tessora" "title after $1"
    expect_send '\{A19\{C0000\{C0001$' "Send of screen 1 after $1"
    press Screen2
    expect_send '\{A19\{C0000\{C0001$' "Send of screen 2 after $1"
    quit_discarding
}

step "a cut-short file: the end-of-file box, then four empty screens"
bad_file "$WORK/short.tso" command-line-short
short_box=$BOX_WIDTH

step "a missing file: Open's own box, then four empty screens"
bad_file "$WORK/missing.tso" command-line-missing
# The end-of-file text is much the longer: two different boxes, not one for both.
[ "$short_box" -gt "$BOX_WIDTH" ] || fail "box widths $short_box and $BOX_WIDTH: the same box twice?"

step "a busy port: the port box, then the file opened all the same"
# Another program holds COM1's device as the program itself would: locked.
perl -MFcntl=:flock -e 'open(my $f, "+<", $ARGV[0]) or die; flock($f, LOCK_EX | LOCK_NB) or die;
    $| = 1; print "held\n"; sleep 600' "${UNIT_DEVICE[com1]}" >"$WORK/holder.out" &
HOLDER=$!
wait_for 10 grep -q held "$WORK/holder.out" || fail "could not hold COM1's device"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=tok-$RANDOM"
start_app "$WORK/news.show.tso"
wait_for 60 prompt_up || fail "no port box"
# The page comes in under the box; the file waits for the box to be answered.
main_page_in() { [ "$(main_page)" = 104 ]; }
wait_for 60 main_page_in || fail "the main page never came in under the port box"
grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE" || fail "no remote control under the port box"
start_file_done && fail "the file was opened under the port box"
screenshot command-line-busy-port
xdotool windowactivate --sync "$PROMPT" key Return 2>/dev/null || true
wait_for 30 start_file_done || fail "the file named on the command line was never opened"
wait_main_window_any_title
expect_eq "$(title)" "Halvercrest Pexalune - news.show" "title after the port box"
quit_discarding
kill "$HOLDER"

step "two files or an unknown option: one line of usage on standard error, exit 2"
for args in "a.tso b.tso" "--bogus" "-x a.tso"; do
    status=0
    # shellcheck disable=SC2086 # the words are the arguments
    "$TESSORA_BIN" $args >"$WORK/out" 2>"$WORK/err" || status=$?
    expect_eq "$status" 2 "exit code for [$args]"
    [ ! -s "$WORK/out" ] || fail "standard output for [$args]: $(cat "$WORK/out")"
    expect_eq "$(wc -l <"$WORK/err")" 1 "lines on standard error for [$args]"
    grep -q 'usage: tessora \[--monitor\] \[--cues LIST\] \[FILE\] | --list-ports | --remote-token | --as-run \[DATE\] \[--csv\] | --help | --version$' "$WORK/err" || fail "no usage for [$args]: $(cat "$WORK/err")"
done

step "--list-ports, --help and --version answer with no display at all"
for args in --list-ports --help --version; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$TESSORA_BIN" $args >"$WORK/out" 2>"$WORK/err" || status=$?
    expect_eq "$status" 0 "exit code for [$args]"
    [ ! -s "$WORK/err" ] || fail "standard error for [$args]: $(cat "$WORK/err")"
done
env -u DISPLAY "$TESSORA_BIN" --help | grep -q -- '--list-ports  the serial devices' || fail "no --list-ports in --help"
env -u DISPLAY "$TESSORA_BIN" --version | grep -Eq '^tessora [0-9]+\.[0-9]+\.[0-9]+$' || fail "no version"
echo "PASS [${SECONDS}s]"
