# Who may drive the remote control: a token made when none is set, web pages of another
# origin in a real browser engine, forged Hosts, clients that trickle to hold every slot,
# and a studio-network address reached from a network namespace of the test's own.
source "$(dirname "$0")/lib.sh"
PAGE_BIN=$5

free_port() { perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport'; }
PORT=$(free_port)
FOREIGN_PAGE=$(free_port)
LISTED_PAGE=$(free_port)
remote_listening() { grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE"; }
# code [CURL ARGS...] URL-PATH: the HTTP status of one call.
code() {
    local path=${*: -1}
    curl -sS -o "$WORK/answer" -w '%{http_code}' --max-time 20 "${@:1:$#-1}" \
        "http://127.0.0.1:$PORT$path" || echo 000
}

step "a port and no token: one is made, kept, and named on standard error by its file only"
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "[Remote]" \
    "Port=$PORT" "Origins=http://127.0.0.1:$LISTED_PAGE"
start_app
wait_main_window
wait_bytes com1 43
wait_for 10 remote_listening || fail "the program never said it listens on $PORT"
TOKEN=$("$TESSORA_BIN" --remote-token)
[[ "$TOKEN" =~ ^[A-Za-z0-9_-]{43}$ ]] || fail "token [$TOKEN]"
expect_eq "$(setting Token)" "$TOKEN" "the token in the settings"
expect_eq "$(grep -c 'remote control on port' "$WORK/app.log")" 1 "lines naming the token's file"
grep -q "Remote/Token in $SETTINGS" "$WORK/app.log" || fail "no settings file named: $(cat "$WORK/app.log")"
grep -qF "$TOKEN" "$WORK/app.log" && fail "the token was written to standard error"
AUTH="Authorization: Bearer $TOKEN"
JSON='Content-Type: application/json'

step "pages of another origin in a browser engine run their scripts and change nothing"
count=$(unit_byte_count com1)
foreign=$(timeout 60 "$PAGE_BIN" "$FOREIGN_PAGE" "$PORT" "$TOKEN" foreign) || fail "the foreign page never finished"
echo "foreign page: $foreign"
expect_eq "$foreign" "done send:opaque form:answered put:TypeError" "the foreign page's calls"
expect_eq "$(code -H "$AUTH" /api/v1/status)" 200 "status"
expect_eq "$(jq -r '.screens[0].text' "$WORK/answer")" "" "screen 1 after the foreign page"
expect_eq "$(unit_byte_count com1)" "$count" "bytes after the foreign page"
listed=$(timeout 60 "$PAGE_BIN" "$LISTED_PAGE" "$PORT" "$TOKEN" listed) || fail "the listed page never finished"
echo "listed page: $listed"
expect_eq "$listed" "done put:200 send:200" "the listed page's calls"
wait_for 10 grep -q '^Panel' "$WORK/com1.dump" || fail "the listed page's Send: $(unit_row com1 0)"

step "Host, content type and Origin refused before anything runs"
count=$(unit_byte_count com1)
expect_eq "$(code -H "$AUTH" -H 'Host: evil.example' -H "$JSON" -d '{}' /api/v1/clear)" 421 "Host evil.example"
jq -e '.error | test("Host")' "$WORK/answer" >/dev/null || fail "421 without its reason"
expect_eq "$(code -H "$AUTH" -H 'Host: 127.1' /api/v1/status)" 421 "Host 127.1"
expect_eq "$(code -H "$AUTH" -H "Host: 127.0.0.1:$PORT" /api/v1/status)" 200 "Host 127.0.0.1:$PORT"
expect_eq "$(code -H "$AUTH" -d '{"screen": 1}' /api/v1/send)" 415 "a form-typed body"
expect_eq "$(code -H "$AUTH" -X POST /api/v1/clear)" 415 "a POST without a type"
expect_eq "$(code -H "$AUTH" -H 'Origin: http://evil.example' /api/v1/status)" 403 "a foreign Origin"
expect_eq "$(unit_byte_count com1)" "$count" "bytes after the refusals"

step "100 clients trickling headers hold no slot from a client with the token"
perl -MIO::Socket::INET -MIO::Select -e '
    my ($port, $seconds) = @ARGV; my $end = time + $seconds; my (@s, @sent);
    $SIG{PIPE} = "IGNORE";
    my $request = "GET /api/v1/status HTTP/1.1\r\nHost: localhost\r\nX-Pad: " . ("a" x 1000);
    sub open_one { IO::Socket::INET->new(PeerAddr => "127.0.0.1", PeerPort => $port) }
    while (time < $end) {
        for my $i (0 .. 99) {
            # A closed slot is taken again at once, as an attacker would.
            if (!$s[$i] || !defined syswrite($s[$i], substr($request, $sent[$i] % 1000, 1))
                || IO::Select->new($s[$i])->can_read(0)) {
                close $s[$i] if $s[$i];
                ($s[$i], $sent[$i]) = (open_one(), 0);
                next;
            }
            $sent[$i]++;
        }
        select(undef, undef, undef, 0.2);
    }' "$PORT" 60 2>/dev/null &
TRICKLE=$!
wait_for 10 bash -c "[ \$(ss -Htn state established '( sport = :$PORT )' | wc -l) -ge 64 ]" ||
    fail "the trickling clients never held the slots"
calls_end=$((SECONDS + 20))
while [ $SECONDS -lt $calls_end ]; do
    curl -sS -o /dev/null -w '%{http_code} %{time_total}\n' --max-time 20 -H "$AUTH" \
        "http://127.0.0.1:$PORT/api/v1/status" >>"$WORK/panel" 2>/dev/null || echo 000 >>"$WORK/panel"
    sleep 0.1 # the panel's own pace
done
kill "$TRICKLE" 2>/dev/null || true
sort -k2 -n "$WORK/panel" | awk '{t[NR] = $2} END {printf "panel calls: median %.3f s, worst %.3f s\n", t[int(NR / 2)], t[NR]}'
calls=$(wc -l <"$WORK/panel")
echo "$calls panel calls in 20 s"
[ "$calls" -ge 20 ] || fail "only $calls calls in 20 s"
expect_eq "$(grep -c '^200 ' "$WORK/panel")" "$calls" "status calls answered while 100 clients trickled"
quit_discarding
expect_eq "$("$TESSORA_BIN" --remote-token)" "$TOKEN" "the token after a restart"

step "a studio-network address: served there with the token, refused without it"
NS=tsr$$
# A subnet the machine does not use already, for a link between it and the namespace.
NET=$(for net in 198.51.100 203.0.113 10.231.17; do
    ip route 2>/dev/null | grep -q "^$net\." || { echo "$net"; break; }; done)
if [ -n "$NET" ] && ip netns add "$NS" 2>/dev/null; then
    trap 'ip netns del "$NS" 2>/dev/null || true; cleanup' EXIT
    ip link add "${NS}a" type veth peer name "${NS}b"
    ip link set "${NS}b" netns "$NS"
    ip addr add "$NET.1/24" dev "${NS}a" && ip link set "${NS}a" up
    ip netns exec "$NS" ip addr add "$NET.2/24" dev "${NS}b"
    ip netns exec "$NS" ip link set "${NS}b" up
    settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "[Remote]" \
        "Port=$PORT" "Token=$TOKEN" "Address=$NET.1" "Hosts=studio-pc"
    start_app
    wait_main_window
    wait_for 10 remote_listening || fail "the program never said it listens on $PORT"
    there() { ip netns exec "$NS" curl -sS -o /dev/null -w '%{http_code}' --max-time 10 "$@" || echo 000; }
    expect_eq "$(there -H "$AUTH" "http://$NET.1:$PORT/api/v1/status")" 200 "with the token"
    expect_eq "$(there "http://$NET.1:$PORT/api/v1/status")" 401 "without the token"
    expect_eq "$(there -H "$AUTH" --resolve "studio-pc:$PORT:$NET.1" "http://studio-pc:$PORT/api/v1/status")" 200 "by its name"
    expect_eq "$(there -H "$AUTH" --resolve "other:$PORT:$NET.1" "http://other:$PORT/api/v1/status")" 421 "by a name not given"
    expect_eq "$(grep -c 'remote control on port' "$WORK/app.log")" 0 "a token made again"
    quit_discarding
else
    echo "SKIP the studio-network address: no network namespace can be made here"
fi
echo "PASS [${SECONDS}s]"
