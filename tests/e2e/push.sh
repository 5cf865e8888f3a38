# The push channel against the real window and the virtual unit: the state on connect, then a
# message for each Send (from the page, a key and the remote), for a selection and the
# modified marker, and for the line lost and back; none for the clock's ticks. Upgrades
# without the token or from a foreign page are refused before any message, and a client
# that stops reading is dropped while the clock goes on.
source "$(dirname "$0")/lib.sh"
CLIENT_BIN=$6

TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
remote_listening() { grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE"; }
api() {
    curl -sS -o /dev/null -w '%{http_code}' -X "$1" -H "Authorization: Bearer $TOKEN" \
        -H 'Content-Type: application/json' --max-time 20 ${3:+--data-binary "$3"} \
        "http://127.0.0.1:$PORT$2"
}
# upgrade [CURL ARGS...]: the HTTP status an upgrade to the push channel is answered with.
upgrade() {
    curl -sS -o "$WORK/upgrade" -w '%{http_code}' --max-time 10 -H 'Connection: Upgrade' \
        -H 'Upgrade: websocket' -H 'Sec-WebSocket-Version: 13' \
        -H 'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==' "$@" "http://127.0.0.1:$PORT/api/v1/events"
}
# messages FILE [JQ-SELECT]: how many messages a client printed (that match).
messages() { jq -c "select(${2:-true})" "$1" 2>/dev/null | wc -l; }
has_message() { [ "$(messages "$1" "$2")" -ge "${3:-1}" ]; }
expect_message() { wait_for 10 has_message "$1" "$2" "${3:-1}" || fail "no message $2 in: $(cat "$1")"; }
# Connections the program holds on its port (the push clients, between calls).
clients_of() { ss -tnH state established "( sport = :$PORT )" | wc -l; }
clients_are() { [ "$(clients_of)" -eq "$1" ]; }
# The time stamps the unit has had: the ticks of screen 3's bottom-right clock.
time_stamps() { unit_bytes "${1:-com1}" | { grep -aoE '\{C[0-9]{4}[0-9]{2}:[0-9]{2}:[0-9]{2}' || true; } | wc -l; }
more_stamps_than() { [ "$(time_stamps "${2:-com1}")" -gt "$1" ]; }

LINK="$WORK/by-id/usb-Tessora_Unit-if00-port0"
mkdir -p "$(dirname "$LINK")"
start_unit com1
ln -sfn "${UNIT_DEVICE[com1]}" "$LINK"
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=$LINK" "[Remote]" "Port=$PORT" "Token=$TOKEN"
start_app
wait_main_window
wait_bytes com1 43
wait_for 10 remote_listening || fail "the program never said it listens on $PORT"

step "refused upgrades: no token, a wrong token, a foreign page; nothing is pushed to them"
expect_eq "$(upgrade)" 401 "upgrade without the token"
expect_eq "$(upgrade -H 'Authorization: Bearer wrong')" 401 "upgrade with a wrong token"
expect_eq "$(upgrade -H "Authorization: Bearer $TOKEN" -H 'Origin: http://evil.example')" 403 \
    "upgrade from a foreign page"
expect_eq "$(upgrade -H "Authorization: Bearer $TOKEN" -H 'Host: evil.example')" 421 \
    "upgrade naming a foreign host"
expect_eq "$(curl -sS -o /dev/null -w '%{http_code}' -H "Authorization: Bearer $TOKEN" \
    "http://127.0.0.1:$PORT/api/v1/events")" 426 "the push channel without an upgrade"
rc=0
"$CLIENT_BIN" "ws://127.0.0.1:$PORT/api/v1/events" >"$WORK/nobody.out" 2>/dev/null || rc=$?
expect_eq "$rc:$(messages "$WORK/nobody.out")" "1:0" "a client without the token: exit and messages"

step "a client gets the state on connect"
"$CLIENT_BIN" "ws://127.0.0.1:$PORT/api/v1/events" --token "$TOKEN" >"$WORK/a.out" 2>"$WORK/a.err" &
CLIENT_A=$!
"$CLIENT_BIN" "ws://127.0.0.1:$PORT/api/v1/events?token=$TOKEN" >"$WORK/b.out" 2>"$WORK/b.err" &
CLIENT_B=$!
expect_message "$WORK/a.out" '.type == "state"'
expect_message "$WORK/b.out" '.type == "state"'
expect_eq "$(head -n 1 "$WORK/a.out" | jq -c '[.screen, .connected, .on_air.cleared, .port]')" \
    '[1,true,true,"COM1"]' "the state on connect"

step "on_air after a Send from the page, from a key and from a PUT and send"
press btnSend
expect_message "$WORK/a.out" '.type == "on_air" and .on_air.origin == "page" and .on_air.screen == 1'
key ctrl+Return
expect_message "$WORK/a.out" '.type == "on_air" and .on_air.origin == "key"'
expect_eq "$(api PUT /api/v1/screens/3 '{"text": "Wörld cup", "time": 2}')" 200 "PUT"
expect_message "$WORK/a.out" '.type == "modified" and .modified == true'
expect_eq "$(api POST /api/v1/send '{"screen": 3}')" 200 "send of screen 3"
expect_message "$WORK/a.out" '.type == "screen" and .screen == 3'
expect_message "$WORK/a.out" \
    '.type == "on_air" and .on_air == {cleared: false, screen: 3, text: "Wörld cup", date: 0, time: 2, origin: "remote"}'
expect_eq "$(api POST /api/v1/clear)" 200 "clear"
expect_message "$WORK/a.out" '.type == "cleared" and .on_air.cleared and .on_air.origin == "remote"'
expect_message "$WORK/b.out" '.type == "cleared" and .on_air.cleared and .on_air.origin == "remote"'

step "no message for the clock's ticks"
count=$(messages "$WORK/a.out")
stamps=$(time_stamps)
wait_for 20 more_stamps_than $((stamps + 10)) || fail "the clock stopped: $(time_stamps) stamps"
expect_eq "$(messages "$WORK/a.out")" "$count" "messages over ten ticks"

step "the line lost and back around a replug"
kill "${UNIT_PIDS[com1]}"
unset 'UNIT_PIDS[com1]'
rm -f "$LINK"
expect_message "$WORK/a.out" ".type == \"line\" and .state == \"lost\" and .device == \"$LINK\""
start_unit com2
ln -sfn "${UNIT_DEVICE[com2]}" "$LINK"
expect_message "$WORK/a.out" '.type == "line" and .state == "back"'
jq -c 'select(.type == "line")' "$WORK/a.out"

step "a client that stops reading is dropped; the others and the clock go on"
stamps=$(time_stamps com2)
"$CLIENT_BIN" "ws://127.0.0.1:$PORT/api/v1/events" --token "$TOKEN" --stall >/dev/null 2>&1 &
STALLED=$!
wait_for 10 clients_are 3 || fail "$(clients_of) push clients, expected 3"
# Messages for the stopped client to fall behind on: texts of one row and 5000 empty lines,
# which the unit never gets.
long=$(head -c 5000 /dev/zero | sed 's/\x0/\\n/g')
sends=$(messages "$WORK/a.out" '.type == "on_air"')
for i in $(seq 1 20); do
    expect_eq "$(api PUT /api/v1/screens/3 "{\"text\": \"$i$long\"}")" 200 "PUT $i"
    expect_eq "$(api POST /api/v1/send)" 200 "send $i"
done
# Dropped when its pings go unanswered (or sooner, were its backlog to grow too long).
wait_for 40 clients_are 2 || fail "the stopped client is still connected: $(ss -tnpH state established "( dport = :$PORT or sport = :$PORT )")"
# A reader is told of every Send the line took, as the as-run log has them. On a loaded
# machine the line's queue may be full for some of them, which are then on air nowhere.
taken() { cat "$XDG_STATE_HOME"/Halvercrest/Tessora/as-run/*.jsonl | jq -c 'select((.kind == "send" or .kind == "corner") and .taken)' | wc -l; }
told_taken() { [ "$(messages "$WORK/a.out" '.type == "on_air"')" -eq "$(taken)" ]; }
wait_for 10 told_taken || fail "$(messages "$WORK/a.out" '.type == "on_air"') on_air messages for $(taken) Sends taken"
[ "$(taken)" -gt "$sends" ] || fail "none of the twenty Sends was taken"

wait_for 5 more_stamps_than "$stamps" com2 || fail "the clock stopped after the drop"
kill -CONT "$STALLED" 2>/dev/null || true
app_running || fail "the program died"

quit_discarding
wait_for 10 bash -c "! kill -0 $CLIENT_A 2>/dev/null" || fail "client A outlived the program"
grep -q '^closed' "$WORK/a.err" || fail "client A was not closed: $(cat "$WORK/a.err")"
