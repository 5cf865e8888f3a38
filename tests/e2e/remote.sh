# The local HTTP interface against the real window and the virtual unit: each call's bytes on
# the line, the page (read back through Send, typing and Save), the modified marker and the
# title; the refusals, which change nothing; and clients that crowd, stall, break off or
# send rubbish.
# A small ASan quarantine, so the memory check sees what the program keeps, not what the
# sanitizer holds back from reuse.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:new_delete_type_mismatch=0:quarantine_size_mb=16}
source "$(dirname "$0")/lib.sh"

TOKEN="tok-$RANDOM$RANDOM"
# A port nobody holds now: the kernel's choice for a socket that is closed again.
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
BASE="http://127.0.0.1:$PORT"

# api METHOD PATH [BODY]: one call with the token; the answer's code in $CODE, its body in
# $WORK/answer.
api() {
    local method=$1 path=$2
    shift 2
    local args=(-sS --path-as-is -o "$WORK/answer" -w '%{http_code}' -X "$method" -H 'Expect:'
                -H "Authorization: Bearer $TOKEN" --max-time 20)
    case $method in PUT | POST) args+=(-H 'Content-Type: application/json') ;; esac
    [ $# -gt 0 ] && args+=(--data-binary "$1")
    CODE=$(curl "${args[@]}" "$BASE$path" 2>"$WORK/curl.err") || CODE=000
}
# expect_api CODE METHOD PATH [BODY]
expect_api() {
    local want=$1
    shift
    api "$@"
    [ "$CODE" = "$want" ] || fail "$1 $2 $(printf %.60s "${3:-}"): HTTP $CODE, expected $want: $(head -c 300 "$WORK/answer") $(cat "$WORK/curl.err")"
}
# field JQ-FILTER: from the last answer.
field() { jq -r "$1" "$WORK/answer"; }
status() { expect_api 200 GET /api/v1/status; }
# The state a refusal must leave alone: the four screens, the current one, the marker, the
# title, and every byte the unit has had.
snapshot() {
    status
    jq -c '{screens, screen, modified, title}' "$WORK/answer" >"$WORK/$1.state"
    unit_byte_count com1 >"$WORK/$1.bytes"
}
unchanged_since() {
    status
    jq -c '{screens, screen, modified, title}' "$WORK/answer" | cmp -s - "$WORK/$1.state" ||
        fail "$2 changed the window: $(jq -c '{screens, screen, modified, title}' "$WORK/answer")"
    expect_eq "$(unit_byte_count com1)" "$(cat "$WORK/$1.bytes")" "$2: bytes on the line"
}
# sent_since COUNT: the bytes the unit has had after the first COUNT.
sent_since() { unit_bytes_from com1 $(($1 + 1)); }
# expect_sent COUNT REGEX WHAT: waits until what followed byte COUNT matches REGEX, byte for
# byte. The clock may put a current screen's stamps before a command's bytes.
bytes_match() { (LC_ALL=C && [[ "$(sent_since "$1")" =~ $2 ]]); }
expect_sent() { wait_for 15 bytes_match "$1" "$2" || fail "$3: $(sent_since "$1" | cat -v)"; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status"; }
remote_listening() { grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE"; }
# None of the program's own sockets is a TCP listener.
expect_no_listener() {
    local fd inode
    for fd in /proc/"$APP_PID"/fd/*; do
        inode=$(readlink "$fd" | sed -n 's/^socket:\[\([0-9]*\)\]$/\1/p')
        [ -n "$inode" ] || continue
        awk -v inode="$inode" '$10 == inode && $4 == "0A" {found = 1} END {exit !found}' \
            /proc/net/tcp /proc/net/tcp6 && fail "the program listens on socket $inode"
    done
    return 0
}

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN"
start_app
wait_main_window
wait_bytes com1 43
wait_for 10 remote_listening || fail "the program never said it listens on $PORT"

step "status: the line, the screen, the title, and both grids as the unit has them"
status
expect_eq "$(field .port)" COM1 "port"
expect_eq "$(field .device)" "${UNIT_DEVICE[com1]}" "device"
expect_eq "$(field .connected)" true "connected"
expect_eq "$(field .screen)" 1 "screen"
expect_eq "$(field .modified)" false "modified"
expect_eq "$(field .title)" "$(title)" "title"
expect_eq "$(field '.screens | length')" 4 "screens"
expect_eq "$(field '[.unit[], .next[]] | map(length) | unique | tostring')" "[52]" "grid rows"
expect_eq "$(field '.unit | length')" 19 "unit rows"
expect_eq "$(field '.unit[0]')" "$(unit_row com1 0)" "unit row 00"

step "only loopback: no socket on any other address"
listeners=$(awk -v port="$(printf '%04X' "$PORT")" \
    '$4 == "0A" { split($2, a, ":"); if (a[2] == port) print a[1] }' /proc/net/tcp /proc/net/tcp6 | sort)
# A machine without IPv6 is served on 127.0.0.1 alone.
if grep -q '^00000000000000000000000000000001 ' /proc/net/if_inet6 2>/dev/null; then
    expect_eq "$(echo "$listeners" | tr '\n' ' ')" "00000000000000000000000001000000 0100007F " \
        "listening addresses (::1 and 127.0.0.1)"
    [ "$(curl -sS -g -o /dev/null -w '%{http_code}' -H "Authorization: Bearer $TOKEN" \
        "http://[::1]:$PORT/api/v1/status")" = 200 ] || fail "no answer on ::1"
else
    expect_eq "$listeners" "0100007F" "listening addresses (127.0.0.1)"
fi
other=$(hostname -I 2>/dev/null | tr ' ' '\n' | grep -v -e '^127\.' -e '^::1$' -e '^$' | head -n 1 || true)
if [ -n "$other" ]; then
    [[ $other == *:* ]] && other="[$other]"
    rc=0
    curl -sS --max-time 5 -o /dev/null "http://$other:$PORT/api/v1/status" 2>/dev/null || rc=$?
    expect_eq "$rc" 7 "curl to $other (7: could not connect)"
fi

step "PUT of the current screen: the page shows it and Send sends it"
count=$(unit_byte_count com1)
expect_api 200 PUT /api/v1/screens/1 '{"text": "Hello\nWörld"}'
expect_eq "$(field '.screens[0].text')" $'Hello\nWörld' "screen 1 text"
expect_eq "$(field .modified)" true "modified after PUT"
expect_eq "$(field '.next[1] | sub(" +$"; "")')" "Wörld" "next row 01"
expect_eq "$(unit_byte_count com1)" "$count" "bytes after a PUT of text"
press btnSend
expect_sent "$count" $'^\\{A19\\{C0000Hello\\{C0001W\xf6rld\\{C0002$' "Send of the text put"

step "PUT of another screen changes the document, not the page or the line"
count=$(unit_byte_count com1)
expect_api 200 PUT /api/v1/screens/3 '{"text": "Third", "date": 1}'
expect_eq "$(field .screen)" 1 "current screen"
expect_eq "$(field '.screens[2] | [.text, .date, .time] | tostring')" '["Third",1,0]' "screen 3"
expect_eq "$(field '.screens[0].text')" $'Hello\nWörld' "screen 1 kept"

step "select: the page shows screen 3, and what is typed there adds to it"
expect_api 200 POST /api/v1/screens/3/select
expect_eq "$(field .screen)" 3 "screen after select"
press scrText
key ctrl+End
type_text "!"
status
expect_eq "$(field '.screens[2].text')" "Third!" "screen 3 as the page holds it"

step "send: the current screen with its date"
count=$(unit_byte_count com1)
expect_api 200 POST /api/v1/send
expect_sent "$count" '\{A19\{C0000[0-9]{2}/[0-9]{2}/[0-9]{2}\{C0001Third!\{C0002' "remote Send"
# What is on air is told once the line has let the Send go.
on_air_is() { status && [ "$(field '.on_air | [.screen, .text, .origin, .cleared] | tostring')" = "$1" ]; }
wait_for 10 on_air_is '[3,"Third!","remote",false]' || fail "on air: $(field '.on_air | tostring')"
expect_eq "$(field '.unit[1] | sub(" +$"; "")')" "Third!" "unit grid row 01"
expect_eq "$(field '.unit[0]')" "$(unit_row com1 0)" "unit grid row 00 against the unit"

step "the unit grid is the unit's own display, whole, after a Clear and the clock's ticks"
expect_api 200 POST /api/v1/clear
grid_is_the_units() { status && [ "$(field '.unit | join("\n")')" = "$(cat "$WORK/com1.dump")" ]; }
ticks_from=$(unit_byte_count com1)
wait_bytes com1 $((ticks_from + 28))
wait_for 10 grid_is_the_units || fail "unit grid $(field .unit) against the dump $(cat "$WORK/com1.dump")"

step "a corner put on the current screen resends it, as the page's list does, typing kept"
press scrText
key ctrl+End
type_text "?"
count=$(unit_byte_count com1)
expect_api 200 PUT /api/v1/screens/3 '{"time": 2}'
expect_sent "$count" '\{A19\{C0000[0-9]{2}/[0-9]{2}/[0-9]{2}\{C44..[0-9:]{8}\{C0001Third!\?\{C0002' \
    "resend after a corner PUT"
status
expect_eq "$(field '.screens[2].time')" 2 "time corner"
expect_eq "$(field .modified)" true "modified after a corner PUT"

step "send with a screen selects it first; clear keeps the stamps"
count=$(unit_byte_count com1)
expect_api 200 POST /api/v1/send '{"screen": 1}'
expect_eq "$(field .screen)" 1 "screen after send {screen: 1}"
expect_sent "$count" $'\\{A19\\{C0000Hello\\{C0001W\xf6rld\\{C0002$' "Send of screen 1"
expect_api 200 POST /api/v1/screens/3/select
count=$(unit_byte_count com1)
expect_api 200 POST /api/v1/clear
expect_sent "$count" '\{A19\{C0000[0-9]{2}/[0-9]{2}/[0-9]{2}\{C44..[0-9:]{8}' "Clear"

step "text Windows-1252 cannot hold becomes ?"
expect_api 200 POST /api/v1/screens/2/select
count=$(unit_byte_count com1)
expect_api 200 PUT /api/v1/screens/2 '{"text": "5 € 日本"}'
expect_eq "$(field '.screens[1].text')" "5 € ??" "converted text"
expect_api 200 POST /api/v1/send
expect_sent "$count" $'\\{A19\\{C00005 \x80 \\?\\?\\{C0001$' "the euro sign as byte 80"

step "refusals change nothing"
snapshot before
for header in "" "Authorization: Bearer wrong" "Authorization: Bearer ${TOKEN}x" \
    "Authorization: Basic $TOKEN" "Authorization: Bearer ${TOKEN:0:5}"; do
    code=$(curl -sS -o /dev/null -w '%{http_code}' -X PUT -H "$header" \
        --data-binary '{"text": "intruder"}' "$BASE/api/v1/screens/2")
    expect_eq "$code" 401 "PUT with [$header]"
    code=$(curl -sS -o /dev/null -w '%{http_code}' -X POST -H "$header" "$BASE/api/v1/send")
    expect_eq "$code" 401 "send with [$header]"
done
expect_api 400 PUT /api/v1/screens/2 '{"text": "x"'
expect_api 400 PUT /api/v1/screens/2 '{"text": "x", "size": 3}'
expect_api 400 PUT /api/v1/screens/2 '{"text": 7}'
expect_api 400 PUT /api/v1/screens/2 '{"date": 5}'
expect_api 400 PUT /api/v1/screens/2 '{"text": "x", "time": -1}'
expect_api 400 PUT /api/v1/screens/5 '{"text": "x"}'
expect_api 400 PUT /api/v1/screens/0 '{"text": "x"}'
expect_api 400 POST /api/v1/screens/5/select
expect_api 400 POST /api/v1/send '{"screen": 9}'
expect_api 404 POST /api/v1/screens/two/select
expect_api 404 GET /api/v2/status
expect_api 405 GET /api/v1/send
expect_api 405 DELETE /api/v1/screens/2
# 64 KiB is the most a body may hold: one byte more is refused, the limit itself is taken.
pad=$(head -c 65520 /dev/zero | tr '\0' 'x')
body="{\"text\": \"${pad}\"}"
extra=$((65536 - ${#body}))
body="{\"text\": \"${pad}$(head -c $((extra + 1)) /dev/zero | tr '\0' 'y')\"}"
expect_eq "${#body}" 65537 "oversized body length"
expect_api 413 PUT /api/v1/screens/2 "$body"
head -c 1048576 /dev/zero | tr '\0' 'z' >"$WORK/huge"
code=$(curl -sS -o /dev/null -w '%{http_code}' -X PUT -H 'Expect:' -H "Authorization: Bearer $TOKEN" \
    --data-binary @"$WORK/huge" "$BASE/api/v1/screens/2" 2>/dev/null) || true
[ "$code" = 413 ] || [ "$code" = 000 ] || fail "a 1 MiB body: HTTP $code"
unchanged_since before "the refusals"
body="{\"text\": \"${pad}$(head -c "$extra" /dev/zero | tr '\0' 'y')\"}"
expect_api 200 PUT /api/v1/screens/4 "$body"
expect_eq "$(field '.screens[3].text | length')" $((65536 - 12)) "a 64 KiB body"
expect_api 200 PUT /api/v1/screens/4 '{"text": ""}'

step "while the file dialog is open every call is refused, and Save then writes the screens"
snapshot modal
press btnSave
wait_for 15 file_dialog_up "Save As" || fail "no Save As dialog"
expect_api 409 GET /api/v1/status
expect_api 409 POST /api/v1/send
expect_api 409 PUT /api/v1/screens/1 '{"text": "during the dialog"}'
expect_api 409 POST /api/v1/screens/4/select
expect_eq "$(unit_byte_count com1)" "$(cat "$WORK/modal.bytes")" "bytes while the dialog is open"
choose_file "Save As" "$WORK/remote"
wait_for 5 test -s "$WORK/remote.tso" || fail "remote.tso was not written"
grep -aq 'Third!' "$WORK/remote.tso" || fail "screen 3 not in the saved file"
LC_ALL=C grep -aq $'W\xf6rld' "$WORK/remote.tso" || fail "screen 1 not in the saved file"
grep -aq 'during' "$WORK/remote.tso" && fail "a refused PUT reached the file"
status
expect_eq "$(field .title)" "Halvercrest Pexalune - remote" "title after Save"
expect_eq "$(field .title)" "$(title)" "title against the window's"
expect_eq "$(field .modified)" false "modified after Save"
expect_eq "$(field .screen)" 2 "screen after the dialog"

step "many clients at once"
count=$(unit_byte_count com1)
pids=()
for i in $(seq 1 40); do
    if ((i % 4 == 0)); then
        curl -sS -o /dev/null -w '%{http_code}\n' -X PUT -H "Authorization: Bearer $TOKEN" \
            -H 'Content-Type: application/json' --data-binary "{\"text\": \"client $i\"}" "$BASE/api/v1/screens/4" >"$WORK/many.$i" &
    else
        curl -sS -o /dev/null -w '%{http_code}\n' -H "Authorization: Bearer $TOKEN" \
            "$BASE/api/v1/status" >"$WORK/many.$i" &
    fi
    pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || true; done
expect_eq "$(cat "$WORK"/many.* | sort | uniq -c | awk '{print $1 "x" $2}')" "40x200" "40 clients"
status
[[ "$(field '.screens[3].text')" =~ ^client\ [0-9]+$ ]] || fail "screen 4: $(field '.screens[3].text')"

step "a slow client does not hold up the others; one that breaks off leaves no trace"
request=$'GET /api/v1/status HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer '"$TOKEN"$'\r\nConnection: close\r\n\r\n'
(
    exec 3<>"/dev/tcp/127.0.0.1/$PORT"
    # A few pieces, not a byte a time: on a busy machine a sleep per byte alone ran past the
    # time a client has to send its whole request.
    for ((i = 0; i < ${#request}; i += 20)); do
        printf '%s' "${request:i:20}" >&3
        sleep 0.1  # the client's own pace, not a wait on the program
    done
    timeout 10 head -n 1 <&3 >"$WORK/slow.answer"
) &
slow=$!
expect_api 200 GET /api/v1/status
# Answered while the slow one is still sending: it did not wait its turn behind it.
kill -0 "$slow" 2>/dev/null || fail "the quick call was answered only after the slow client"
wait "$slow" || true
head -n 1 "$WORK/slow.answer" | grep -q '^HTTP/1.1 200' || fail "slow client: $(head -n 1 "$WORK/slow.answer")"
snapshot broken
for cut in 20 60 90; do
    exec 3<>"/dev/tcp/127.0.0.1/$PORT"
    printf 'PUT /api/v1/screens/1 HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer %s\r\nContent-Length: 100\r\n\r\n{"text": "%s' \
        "$TOKEN" "$(head -c "$cut" /dev/zero | tr '\0' 'b')" >&3 2>/dev/null || true
    exec 3>&-
done
# Asked, then gone before the answer: the call runs, only its answer is lost.
exec 3<>"/dev/tcp/127.0.0.1/$PORT"
printf 'GET /api/v1/status HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer %s\r\n\r\n' "$TOKEN" >&3
exec 3>&-
unchanged_since broken "clients that broke off"

step "a short fuzz of bodies, paths and raw bytes: no crash, memory flat"
fuzz_round() {
    local i path method body
    local methods=(GET PUT POST DELETE PATCH OPTIONS)
    for i in $(seq 1 "$1"); do
        case $((RANDOM % 5)) in
            0) path="/api/v1/screens/$((RANDOM % 7))" ;;
            1) path="/api/v1/$(head -c $((RANDOM % 40 + 1)) /dev/urandom | base64 | tr -d '\n=' | tr '+' '%')" ;;
            2) path="/api/v1/screens/$((RANDOM % 5))/$(head -c 6 /dev/urandom | base64 | tr -d '=/+')" ;;
            3) path="/$(head -c $((RANDOM % 300)) /dev/urandom | od -An -tx1 | tr -d ' \n' | sed 's/../%&/g')" ;;
            4) path="/api/v1/send" ;;
        esac
        method=${methods[RANDOM % ${#methods[@]}]}
        case $((RANDOM % 4)) in
            0) head -c $((RANDOM % 2000)) /dev/urandom >"$WORK/fuzz.body" ;;
            1) printf '{"text": %s, "date": %s}' "$((RANDOM))" "\"$RANDOM\"" >"$WORK/fuzz.body" ;;
            2) printf '{"%s": [' "$(head -c 8 /dev/urandom | base64)" >"$WORK/fuzz.body"
               head -c $((RANDOM * 3)) /dev/zero | tr '\0' '[' >>"$WORK/fuzz.body" ;;
            3) head -c $((RANDOM % 4 * 100000)) /dev/urandom >"$WORK/fuzz.body" ;;
        esac
        # The screens stay as they are: a random body is never a valid change of one.
        curl -s -o /dev/null --path-as-is -X "$method" -H 'Expect:' --max-time 10 \
            -H "Authorization: Bearer $TOKEN" -H 'Content-Type: application/json' \
            --data-binary @"$WORK/fuzz.body" "$BASE$path" || true
        if ((i % 10 == 0)); then
            head -c $((RANDOM % 3000)) /dev/urandom >"/dev/tcp/127.0.0.1/$PORT" 2>/dev/null || true
        fi
    done
    app_running || fail "the program ended during the fuzz"
}
snapshot fuzz
fuzz_round 60
rss_before=$(rss_kb)
fuzz_round 120
rss_after=$(rss_kb)
echo "RSS ${rss_before} kB before, ${rss_after} kB after 120 more requests"
[ $((rss_after - rss_before)) -lt 20480 ] || fail "memory grew by $((rss_after - rss_before)) kB"
status
jq -c '{screens, screen, title}' "$WORK/answer" | cmp -s - <(jq -c '{screens, screen, title}' "$WORK/fuzz.state") ||
    fail "the fuzz changed the window"

step "the close's save prompt refuses calls too"
expect_api 200 PUT /api/v1/screens/4 '{"text": "unsaved"}'
key Escape
wait_for 10 prompt_up || fail "no save prompt at close"
expect_api 409 POST /api/v1/clear
expect_api 409 GET /api/v1/status
xdotool windowactivate --sync "$PROMPT" 2>/dev/null || true
key n
expect_exit 0

step "a port another program holds: one line on standard error, and the program runs on"
perl -MIO::Socket::INET -e '$| = 1; my $s = IO::Socket::INET->new(Listen => 1,
    LocalAddr => "127.0.0.1", LocalPort => $ARGV[0], ReuseAddr => 1) or die "$!\n";
    print "held\n"; sleep 600' "$PORT" >"$WORK/holder.out" &
UNIT_PIDS[holder]=$!
wait_for 10 grep -q held "$WORK/holder.out" || fail "could not hold port $PORT"
start_unit com2
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com2]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN"
start_app
wait_main_window
wait_bytes com2 43
said_why() { grep -q "^tessora: remote control off: cannot listen on 127.0.0.1:$PORT: " "$WORK/app.log"; }
wait_for 10 said_why || fail "no reason on standard error: $(grep remote "$WORK/app.log")"
expect_eq "$(grep -c remote "$WORK/app.log")" 1 "lines about the remote control"
remote_listening && fail "the program said it listens"
expect_no_listener
press scrText
type_text "still here"
press btnSend
wait_for 10 bash -c "grep -q . '$WORK/com2.dump' && sed -n 1p '$WORK/com2.dump' | grep -q 'still here'" ||
    fail "Send after the refused port: $(unit_row com2 0)"
quit_discarding

step "without the Remote group: no socket and not a word about it"
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com2]}"
start_app
wait_main_window
count=$(unit_byte_count com2)
press btnSend
wait_bytes com2 $((count + 1))
expect_no_listener
grep -q 'remote control' "$WORK/app.log" && fail "the program spoke of the remote control"
grep -q ' remote ' "$TESSORA_READY_FILE" && fail "the program said it listens"
quit_discarding
echo "PASS [${SECONDS}s]"
