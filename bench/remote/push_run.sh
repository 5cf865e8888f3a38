#!/usr/bin/env bash
# Measures the push channel against a virtual unit under its own X server:
#  - from a POST /api/v1/send to its on_air message at a WebSocket client, over 50 Sends;
#  - how late the clock's ticks reach the unit with ten push clients connected, against
#    none, in the same run.
#   xvfb-run -a bash bench/remote/push_run.sh <tessora> <tessora-unit> <push_client> [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
client=$3
seconds=${4:-30}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-push}"
source "$here/../lateness.sh"

PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
URL="ws://127.0.0.1:$PORT/api/v1/events"
unit_started=$(date +%s%3N)
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "[Remote]" "Port=$PORT" \
    "Token=bench-token"
start_app
wait_bytes com1 43 30
wait_main_window
wait_for 10 grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE" || fail "not listening"
curl -sf -o /dev/null -H "Authorization: Bearer bench-token" -H 'Content-Type: application/json' \
    -X PUT --data-binary '{"text": "Push bench", "time": 1}' "http://127.0.0.1:$PORT/api/v1/screens/1"

"$client" "$URL" --token bench-token --bench 50

# The corner change sends the screen with a stamp of its own; only the ticks are counted.
sleep 2.5
quiet_from=$(($(unit_byte_count com1) + 1))
sleep "$seconds"   # the baseline: the measurement's length, not a wait
quiet_to=$(unit_byte_count com1)
echo "ticks, no push client: $(lateness "$quiet_from" "$quiet_to")"

clients=()
for n in $(seq 1 10); do
    "$client" "$URL" --token bench-token >"$WORK/push.$n" 2>/dev/null &
    clients+=($!)
done
connected() { [ "$(cat "$WORK"/push.* | grep -c '"type":"state"')" -eq 10 ]; }
wait_for 20 connected || fail "the ten clients did not all connect"
load_from=$(($(unit_byte_count com1) + 1))
sleep "$seconds"
load_to=$(unit_byte_count com1)
echo "ticks, ten push clients: $(lateness "$load_from" "$load_to")"
kill "${clients[@]}" 2>/dev/null || true
quit_discarding
