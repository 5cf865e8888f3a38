#!/usr/bin/env bash
# Measures the local HTTP interface against a virtual unit under its own X server:
#  - from a POST /api/v1/send to the first byte at the unit, beside a mouse press on Send in
#    the same run (the same one-line screen, the clock's corners off);
#  - how many GET /api/v1/status a second the program answers while the clock ticks (four
#    clients, connections kept open), and how late the ticks reach the unit meanwhile,
#    against the same time without the load.
#   xvfb-run -a bash bench/remote/remote_run.sh <tessora> <tessora-unit> [runs] [load seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${3:-10}
load_seconds=${4:-20}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-remote}"
source "$here/../lateness.sh"

PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
BASE="http://127.0.0.1:$PORT/api/v1"
unit_started=$(date +%s%3N)
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "[Remote]" "Port=$PORT" \
    "Token=bench-token"
# Every call carries the token; a PUT or POST also says its body is JSON.
AUTH=(-H "Authorization: Bearer bench-token")
JSON=("${AUTH[@]}" -H 'Content-Type: application/json')
start_app
wait_bytes com1 43 30
wait_main_window
wait_for 10 grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE" || fail "not listening"
curl -sf -o /dev/null "${JSON[@]}" -X PUT --data-binary '{"text": "Remote bench"}' "$BASE/screens/1"
sent=$((4 + 6 + 12 + 6))   # the clear, the text at row 00, the position after it

# first_byte_ms BEFORE START: from START (epoch ms) to byte BEFORE+1 at the unit.
first_byte_ms() { echo $(($(unit_byte_time com1 $(($1 + 1))) + unit_started - $2)); }
remote_ms=()
mouse_ms=()
for run in $(seq 1 "$runs"); do
    before=$(unit_byte_count com1)
    start=$(date +%s%3N)
    curl -sf -o /dev/null "${JSON[@]}" -X POST "$BASE/send"
    wait_bytes com1 $((before + sent)) 30
    remote_ms+=("$(first_byte_ms "$before" "$start")")

    before=$(unit_byte_count com1)
    xdotool mousemove $((WIN_X + 544)) $((WIN_Y + 412))
    sleep 0.2
    start=$(date +%s%3N)
    xdotool click 1
    wait_bytes com1 $((before + sent)) 30
    mouse_ms+=("$(first_byte_ms "$before" "$start")")
    echo "run $run: send to first byte: remote ${remote_ms[-1]} ms, mouse ${mouse_ms[-1]} ms"
done
# median and mean of the arguments.
summary() {
    printf '%s\n' "$@" | sort -n |
        awk '{a[NR] = $1; s += $1} END {printf "median %d ms, mean %.1f ms", a[int((NR + 1) / 2)], s / NR}'
}
# The unit counts its milliseconds from its own start, a little after $unit_started: both
# figures carry that offset, their difference does not. The writer's 50 ms sleep while the
# ring is empty spreads each over 0 to 50 ms, so only many runs compare.
echo "send to first byte over $runs runs: remote $(summary "${remote_ms[@]}"); mouse $(summary "${mouse_ms[@]}")"

# The time stamp in the top-left corner: one tick a second from now on.
curl -sf -o /dev/null "${JSON[@]}" -X PUT --data-binary '{"time": 1}' "$BASE/screens/1"
# The corner change sends the screen with a stamp of its own; only the ticks are counted.
sleep 2.5
quiet_from=$(($(unit_byte_count com1) + 1))
sleep "$load_seconds"   # the quiet baseline: the measurement's length, not a wait
quiet_to=$(unit_byte_count com1)
echo "ticks without load: $(lateness "$quiet_from" "$quiet_to")"

load_from=$(($(unit_byte_count com1) + 1))
end=$(($(date +%s) + load_seconds))
clients=()
for client in 1 2 3 4; do
    (
        n=0
        while [ "$(date +%s)" -lt "$end" ]; do
            # 200 requests on one kept-open connection per round.
            curl -s "${AUTH[@]}" -w '\n%{http_code}\n' $(printf "$BASE/status %.0s" $(seq 1 200)) |
                grep -c '^200$' || true
        done
    ) >"$WORK/load.$client" &
    clients+=($!)
done
started=$(date +%s%3N)
wait "${clients[@]}"
elapsed=$(($(date +%s%3N) - started))
load_to=$(unit_byte_count com1)
answered=$(cat "$WORK"/load.* | awk '{s += $1} END {print s + 0}')
echo "status under load: $answered answers in $elapsed ms = $((answered * 1000 / elapsed)) a second (4 clients)"
echo "ticks under load:  $(lateness "$load_from" "$load_to")"
curl -sf -o /dev/null "${JSON[@]}" -X PUT --data-binary '{"time": 0}' "$BASE/screens/1"
quit_discarding
