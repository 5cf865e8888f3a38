#!/usr/bin/env bash
# Measures the timed cues against a virtual unit, under their own X server:
#  - hold accuracy over 20 holds of 1 s: the clear's first byte minus the cue's last byte
#    minus the hold;
#  - time-of-day accuracy over 5 cues: the take's first byte minus the start of its second
#    (a few ms low: the unit's clock starts a little after $unit_started);
#  - the clock's tick lateness for 15 s without a list, then 15 s with 1 000 timed cues loaded.
#   xvfb-run -a -s "-screen 0 1280x1024x24" bash bench/cues/timed_run.sh <tessora> <tessora-unit>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-timed}"
source "$here/../../tests/e2e/cue_api.sh"
source "$here/../lateness.sh"

TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
now_ms() { date +%s%3N; }
status() { expect_api 200 GET /api/v1/status; }
on_air_is() { status && [ "$(field '[.on_air.origin, .on_air.cue, .on_air.cleared] | tostring')" = "$1" ]; }
loaded_count() { grep -c " cues loaded " "$TESSORA_READY_FILE" 2>/dev/null || true; }
loaded_more_than() { [ "$(loaded_count)" -gt "$1" ]; }
write_list() {
    local loaded
    loaded=$(loaded_count)
    cat >"$WORK/list.tmp"
    mv "$WORK/list.tmp" "$WORK/show.csv"
    wait_for 30 loaded_more_than "$loaded" || fail "the list was not read again"
}
# byte_of TEXT N: the number of the byte TEXT starts at, first found after byte N.
byte_of() {
    local at
    at=$(unit_bytes_from com1 $(($2 + 1)) | grep -ab -o -F "$1" | head -n 1 | cut -d: -f1)
    [ -n "$at" ] && echo $(($2 + 1 + at))
}
stats() { sort -n | awk '{a[NR] = $1} END {printf "n=%d min %d median %d max %d ms\n", NR, a[1], a[int((NR + 1) / 2)], a[NR]}'; }

printf '%s\n' "Text,Hold,At" "Held one,1," >"$WORK/show.csv"
unit_started=$(now_ms)
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN" "[Cues]" "RepeatGuardMs=0"
start_app --cues "$WORK/show.csv"
wait_main_window
wait_bytes com1 43
wait_for 20 loaded_more_than 0 || fail "the list was not loaded"

step "20 holds of 1 s"
: >"$WORK/holds"
for i in $(seq 20); do
    count=$(unit_byte_count com1)
    expect_api 200 POST /api/v1/cues/take '{"cue": 1}'
    wait_for 10 on_air_is '["cue",1,false]' || fail "hold $i: the cue did not go on air"
    wait_for 10 on_air_is '["auto",0,true]' || fail "hold $i did not clear"
    text=$(byte_of "Held one" "$count") || fail "hold $i: no text"
    clear=$(byte_of '{A19' "$text") || fail "hold $i: no clear"
    echo $(($(unit_byte_time com1 "$clear") - $(unit_byte_time com1 $((clear - 1))) - 1000)) >>"$WORK/holds"
done
echo "hold accuracy (clear's first byte - cue's last byte - hold): $(stats <"$WORK/holds")"

step "5 times of day, 2 s apart"
base=$(($(date +%s) + 3))
{
    echo "Text,Hold,At"
    echo "Held one,1,"
    for i in 0 1 2 3 4; do echo "At $i,,$(date -d "@$((base + 2 * i))" +%H:%M:%S)"; done
} | write_list
: >"$WORK/ats"
for i in 0 1 2 3 4; do
    wait_for 15 on_air_is "[\"auto\",$((i + 2)),false]" || fail "the time of day $i took nothing"
done
from=0
for i in 0 1 2 3 4; do
    text=$(byte_of "At $i" "$from") || fail "no text for time $i"
    # The take's first byte: the clear that begins its Send, the last one before its text.
    first=$(unit_bytes com1 | head -c $((text - 1)) | grep -ab -o -F '{A19' | tail -n 1 | cut -d: -f1)
    echo $(($(unit_byte_time com1 $((first + 1))) + unit_started - (base + 2 * i) * 1000)) >>"$WORK/ats"
    from=$text
done
echo "time-of-day accuracy (first byte - start of its second): $(stats <"$WORK/ats")"

step "tick lateness: 15 s without a list, then 15 s with 1 000 timed cues"
choose cmbTime 1
sleep 2.5
printf '%s\n' "Text" "none" | write_list
a=$(unit_byte_count com1)
sleep 15
b=$(unit_byte_count com1)
echo "no timed cues: $(lateness "$a" "$b")"
later=$(($(date +%s) + 3600))
{
    echo "Text,Hold,At"
    for i in $(seq 1000); do echo "Cue $i,2,$(date -d "@$((later + i))" +%H:%M:%S)"; done
} | write_list
a=$(unit_byte_count com1)
sleep 15
b=$(unit_byte_count com1)
echo "1 000 timed cues: $(lateness "$a" "$b")"
quit_discarding
