# Timed cues in the real window with the virtual unit: a 2 s hold clears, a time of day a few
# seconds ahead takes its cue at that second, held automation fires nothing and logs the skip,
# and two takes of one cue 50 ms apart put one on the line while the second answers 409.
# Prints the figures: the hold's clear after the cue's last byte, the time of day's first byte.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cue_api.sh"

TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
LOGS="$XDG_STATE_HOME/Halvercrest/Tessora/as-run"
now_ms() { date +%s%3N; }
status() { expect_api 200 GET /api/v1/status; }
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }
loaded_count() { grep -c " cues loaded " "$TESSORA_READY_FILE" 2>/dev/null || true; }
loaded_more_than() { [ "$(loaded_count)" -gt "$1" ]; }
on_air_is() { status && [ "$(field '[.on_air.origin, .on_air.cue, .on_air.cleared] | tostring')" = "$1" ]; }
nothing_timed() { status && [ "$(field .automation.next)" = null ]; }
skip_logged() { cat "$LOGS"/*.jsonl 2>/dev/null | jq -e -s "any(.kind == \"skip\" and .cue == $1)" >/dev/null; }
# write_list LINES...: as an editor saves, a new file moved over the old one; waits for the read.
write_list() {
    local loaded
    loaded=$(loaded_count)
    printf '%s\n' "$@" >"$WORK/list.tmp"
    mv "$WORK/list.tmp" "$WORK/show.csv"
    [ "$loaded" = "" ] || wait_for 15 loaded_more_than "$loaded" || fail "the list was not read again"
}
# byte_of TEXT N: the number of the byte TEXT starts at, first found after byte N.
byte_of() {
    local at
    at=$(unit_bytes_from com1 $(($2 + 1)) | grep -ab -o -F "$1" | head -n 1 | cut -d: -f1)
    [ -n "$at" ] && echo $(($2 + 1 + at))
}
CLEAR='{A19'

printf '%s\n' "Text,Hold,At" "Held two,2," "Bounce,," >"$WORK/show.csv"
UNIT_T0=$(now_ms)
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN"
start_app --cues "$WORK/show.csv"
wait_main_window
wait_bytes com1 43
wait_for 20 loaded_more_than 0 || fail "the list named on the command line was not loaded"

step "a 2 s hold clears the unit, counted from the cue's last byte"
count=$(unit_byte_count com1)
expect_api 200 POST /api/v1/cues/take '{"cue": 1}'
wait_for 10 on_air_is '["cue",1,false]' || fail "cue 1 not on air: $(cat "$WORK/answer")"
wait_for 10 on_air_is '["auto",0,true]' || fail "the hold did not clear: $(cat "$WORK/answer")"
# The cue's Send ends where the hold's clear begins: with no corners the clock writes nothing.
text=$(byte_of "Held two" "$count") || fail "the cue's text never reached the unit"
clear=$(byte_of "$CLEAR" "$text") || fail "no clear after the cue"
clear_ms=$(($(unit_byte_time com1 "$clear") - $(unit_byte_time com1 $((clear - 1))) - 2000))
echo "hold: clear's first byte after the cue's last byte, less the hold: ${clear_ms} ms"
[ "$clear_ms" -ge -20 ] && [ "$clear_ms" -le 500 ] || fail "the hold cleared ${clear_ms} ms off its time"

step "a time of day a few seconds ahead takes its cue at that second"
at_epoch=$(($(date +%s) + 4))
write_list "Text,Hold,At" "Held two,2," "Bounce,," "On time,,$(date -d "@$at_epoch" +%H:%M:%S)"
count=$(unit_byte_count com1)
wait_for 10 on_air_is '["auto",3,false]' || fail "the time of day took nothing: $(cat "$WORK/answer")"
first=$(byte_of "$CLEAR" "$count") || fail "the timed take wrote nothing"
at_ms=$(($(unit_byte_time com1 "$first") + UNIT_T0 - at_epoch * 1000))
echo "at: first byte after the second began: ${at_ms} ms"
# The unit's clock starts a little after UNIT_T0 (tens of ms, more on a loaded machine), which
# reads as early; a second early or late is far outside either bound.
[ "$at_ms" -ge -250 ] && [ "$at_ms" -le 500 ] || fail "the time of day played ${at_ms} ms off its second"

step "held automation fires nothing, and the skip is logged"
expect_api 200 POST /api/v1/automation '{"hold": true}'
expect_eq "$(field .automation.held)" true "automation held"
at_epoch=$(($(date +%s) + 3))
write_list "Text,Hold,At" "Held two,2," "Bounce,," "On time,,02:00:00" \
    "Never,,$(date -d "@$at_epoch" +%H:%M:%S)"
status
expect_eq "$(field '.automation.next.cue')" 4 "what fires next"
screenshot timed-cues-next
wait_for 10 nothing_timed || fail "the time of day stayed pending: $(cat "$WORK/answer")"
wait_for 5 skip_logged 4 || fail "no skip in the as-run log"
expect_eq "$(field '[.on_air.origin, .on_air.cue] | tostring')" '["auto",3]' "on air while held"
expect_api 200 POST /api/v1/automation '{"hold": false}'

step "two takes of one cue 50 ms apart put one on the line; the second answers 409"
count=$(unit_byte_count com1)
api POST /api/v1/cues/take '{"cue": 2}'
first=$CODE
sleep 0.05
api POST /api/v1/cues/take '{"cue": 2}'
expect_eq "$first $CODE" "200 409" "the two takes"
expect_eq "$(field .error | grep -c 'less than 500 ms')" 1 "the reason"
wait_for 10 row_is 0 "Bounce" || fail "the take did not reach the unit: [$(unit_row com1 0)]"
wait_for 10 on_air_is '["cue",2,false]' || fail "cue 2 not on air"
expect_eq "$(unit_bytes_from com1 $((count + 1)) | grep -a -o Bounce | wc -l)" 1 "Bounce sent"
screenshot timed-cues
quit_discarding
echo "PASS [${SECONDS}s]"
