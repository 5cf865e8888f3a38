# The as-run log of the real program: old days removed at start as KeepDays says, the
# greeting and a burst of remote Sends logged line by line, the program killed in the middle
# of the burst leaving whole lines only, and tessora --as-run reading the day back.
source "$(dirname "$0")/lib.sh"

LOGS="$XDG_STATE_HOME/Halvercrest/Tessora/as-run"
TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
BASE="http://127.0.0.1:$PORT"
post() {
    curl -sS -o /dev/null --max-time 10 -X "$1" -H "Authorization: Bearer $TOKEN" \
        -H 'Content-Type: application/json' --data-binary "${3:-}" "$BASE$2" 2>/dev/null
}
remote_listening() { grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE"; }
log_lines() { cat "$LOGS"/*.jsonl 2>/dev/null | wc -l; }
log_has() { [ "$(log_lines)" -ge "$1" ]; }

mkdir -p "$LOGS"
old=$(date -d '-31 days' +%F)
recent=$(date -d '-29 days' +%F)
for name in "$old.jsonl" "$recent.jsonl" notes.txt; do echo '{}' >"$LOGS/$name"; done
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN" "[AsRun]" "KeepDays=30"
start_app
wait_main_window
wait_bytes com1 43
wait_for 10 remote_listening || fail "the program never said it listens on $PORT"

step "at start, only the day files older than KeepDays went"
[ ! -e "$LOGS/$old.jsonl" ] || fail "the day $old was kept"
[ -e "$LOGS/$recent.jsonl" ] && [ -e "$LOGS/notes.txt" ] || fail "more than the old day went"
rm "$LOGS/$recent.jsonl" "$LOGS/notes.txt"

step "a burst of remote Sends, the program killed in the middle of it"
post PUT /api/v1/screens/1 '{"text": "Hello \"Wörld\" €", "date": 1, "time": 3}'
(for i in $(seq 1 300); do post POST /api/v1/send || true; done) &
BURST=$!
wait_for 60 log_has 21 || fail "only $(log_lines) lines logged"
kill -9 "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=
kill "$BURST" 2>/dev/null || true
wait "$BURST" 2>/dev/null || true

day=$(date +%F)
file="$LOGS/$day.jsonl"
# Past midnight the burst may run over into the next day's file: the first day is the one read.
[ -s "$file" ] || { file=$(ls "$LOGS"/*.jsonl | head -n 1); day=$(basename "$file" .jsonl); }
lines=$(wc -l <"$file")
[ "$(tail -c 1 "$file" | od -An -c | tr -d ' ')" = '\n' ] || fail "the log ends in a torn line"
expect_eq "$(jq -c . "$file" | wc -l)" "$lines" "lines that read as JSON"
expect_eq "$(head -n 1 "$file" | jq -c '[.kind, .origin, .port, .device, .taken]')" \
    "[\"greeting\",\"program\",\"COM1\",\"${UNIT_DEVICE[com1]}\",true]" "the greeting's line"
send=$(grep -m 1 '"kind":"send"' "$file")
expect_eq "$(jq -c '[.origin, .screen, .text, .date, .time, .taken]' <<<"$send")" \
    '["remote",1,"Hello \"Wörld\" €",1,3,true]' "a Send's line"
cp "$file" "$ARTEFACTS/as-run-$day.jsonl"

step "tessora --as-run reads the day back as a table and as CSV"
"$TESSORA_BIN" --as-run "$day" >"$WORK/table" 2>"$WORK/table.err" || fail "--as-run: $(cat "$WORK/table.err")"
expect_eq "$(wc -l <"$WORK/table")" "$((lines + 1))" "table rows"
grep -qE '^[0-9:]{8}\.[0-9]{3}  remote   send             1       Hello "Wörld" €$' "$WORK/table" ||
    fail "no Send row: $(head -n 3 "$WORK/table")"
"$TESSORA_BIN" --as-run "$day" --csv >"$WORK/csv" || fail "--as-run --csv"
expect_eq "$(head -n 1 "$WORK/csv")" $'utc,local,kind,origin,cue,screen,text,date,time,port,device,taken,before,after\r' "CSV header"
expect_eq "$(wc -l <"$WORK/csv")" "$((lines + 1))" "CSV rows"
