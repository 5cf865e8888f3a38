# Nothing takes the page down and nothing lost with it: Open refuses a 200 MB text and changes
# nothing, and when the page's renderer dies the window comes back with its text while the
# clock on air keeps ticking.
source "$(dirname "$0")/lib.sh"

# renderers PID: the page renderers among the descendants of process PID.
renderers() {
    local child
    for child in $(pgrep -P "$1"); do
        grep -qa -- '--type=renderer' "/proc/$child/cmdline" && echo "$child"
        renderers "$child"
    done
    return 0
}
prompt_gone() { ! prompt_up; }
# page_back COUNT: the main page has been taken up more than COUNT times.
page_back() { [ "$(ready_count 104)" -gt "$1" ]; }
# The largest pause (ms) between bytes com1 received from byte FROM on.
largest_gap() {
    tail -n +"$1" "$WORK/com1.log" | awk 'NR > 1 && $1 - t > m { m = $1 - t } { t = $1 } END { print m + 0 }'
}

# Screen1 announces and holds 200 000 000 bytes of text; three empty screens follow.
{
    printf '\0\0\0\0\0\0\0\0\xff\xff\xff\x00\xc2\xeb\x0b'
    head -c 200000000 /dev/zero | tr '\0' 'a'
    head -c 27 /dev/zero
} >"$WORK/huge.tso"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
wait_bytes com1 43
press scrText
type_text "Still here"
choose cmbTime 1

step "Open of a 200 MB text is refused and changes nothing"
press btnOpen
wait_for 10 prompt_up || fail "no save prompt"
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key n
choose_file "Open" "$WORK/huge.tso"
wait_for 20 prompt_up || fail "the file was not refused"
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key Return
wait_for 10 prompt_gone || fail "the refusal stayed up"
expect_eq "$(title)" "Tessora" "title after the refused Open"
expect_send '\{C0000[0-9]{2}:[0-9]{2}:[0-9]{2}\{C0001Still here\{C0002' "Send after the refused Open"

step "the renderer dies: the window comes back with its text, the clock ticking"
from=$(unit_byte_count com1)
pids=$(renderers "$APP_PID")
[ -n "$pids" ] || fail "no renderer found"
loaded=$(ready_count 104)
kill -SEGV $pids
wait_for 60 page_back "$loaded" || fail "the page never came back"
expect_send '\{C0001Still here\{C0002' "Send after the page came back"
gap=$(largest_gap "$from")
[ "$gap" -lt 2500 ] || fail "the clock stopped for $gap ms"
quit_discarding
echo "PASS [${SECONDS}s]"
