# The real program on a machine whose clock is not synchronised (the kernel's clock call
# stood in for by a preloaded library): the message line and the remote status say so, and
# the too-long warning goes before it until a Send that fits.
source "$(dirname "$0")/lib.sh"
UNSYNCHRONISED=$5

TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
# status: the remote status into $WORK/answer.
status() {
    curl -sS --max-time 20 -o "$WORK/answer" -H "Authorization: Bearer $TOKEN" \
        "http://127.0.0.1:$PORT/api/v1/status" || fail "no status"
}
field() { jq -r "$1" "$WORK/answer"; }
message_is() { status && [ "$(field .message)" = "$1" ]; }
expect_message() { wait_for 15 message_is "$1" || fail "$2: the message line says [$(field .message)]"; }
put_and_send() {
    curl -sS --max-time 20 -o /dev/null -H "Authorization: Bearer $TOKEN" \
        -H 'Content-Type: application/json' -X PUT --data-binary "{\"text\": \"$1\"}" \
        "http://127.0.0.1:$PORT/api/v1/screens/1" || fail "PUT refused"
    press btnSend
}
remote_listening() { grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE"; }

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN"
# The sanitizer's runtime need not come first: the stand-in is loaded before it.
ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0" LD_PRELOAD="$UNSYNCHRONISED" start_app
wait_main_window
wait_bytes com1 43
wait_for 10 remote_listening || fail "the program never said it listens on $PORT"

step "the message line and the status say the clock is not synchronised"
expect_message "Clock not synchronised" "at start"
expect_eq "$(field .clock)" "not synchronised" "status clock"
grep -q "^tessora: clock not synchronised\$" "$WORK/app.log" || fail "nothing said on standard error"
screenshot clock-not-synchronised

step "the too-long warning goes before it, and it comes back after a Send that fits"
put_and_send "$(for i in $(seq 1 20); do printf 'line %s\\n' "$i"; done)"
expect_message "The current text is too long and may display incorrectly." "after a long Send"
put_and_send "Short"
expect_message "Clock not synchronised" "after a Send that fits"

quit_discarding
echo "PASS [${SECONDS}s]"
