# A template screen filled from a people list in the real window with the virtual unit:
# Screen 3 holds the template, a Name/Title list fills it at each take; a change of the
# template by the remote is used by the next take; a field the list lacks refuses the take
# with nothing on the line.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cue_api.sh"

TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')

cues() { expect_api 200 GET /api/v1/cues; }
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }
loaded() { [ "$(grep -c " cues loaded " "$TESSORA_READY_FILE" 2>/dev/null || true)" -gt 0 ]; }
# put_template JSON-TEXT: the remote writes Screen 3's text.
put_template() {
    CODE=$(curl -sS -o "$WORK/answer" -w '%{http_code}' -X PUT -H 'Expect:' \
        -H "Authorization: Bearer $TOKEN" -H 'Content-Type: application/json' --max-time 20 \
        --data-binary "{\"text\": \"$1\"}" "http://127.0.0.1:$PORT/api/v1/screens/3" 2>"$WORK/curl.err") || CODE=000
    [ "$CODE" = 200 ] || fail "PUT screen 3: HTTP $CODE: $(head -c 300 "$WORK/answer")"
}
next_text_is() { cues && [ "$(field .next_text)" = "$1" ]; }

printf '%s\n' "Name,Title" "Ada Lovelace,Engineer" "Grace Hopper,Rear Admiral" \
    "Alan Turing,Mathematician" >"$WORK/people.csv"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN" "[Cues]" "Template=3"
start_app --cues "$WORK/people.csv"
wait_main_window
wait_bytes com1 43
wait_for 20 loaded || fail "the people list was not loaded"

step "a take fills the template on Screen 3 from the row"
put_template '{Name}\n{{{Title}}}'
wait_for 10 next_text_is "Ada Lovelace" || fail "next_text: $(field .next_text)"
expect_api 200 POST /api/v1/cues/take '{}'
wait_for 10 row_is 0 "Ada Lovelace" || fail "row 00: [$(unit_row com1 0)]"
wait_for 10 row_is 1 "{Engineer}" || fail "row 01: [$(unit_row com1 1)]"
screenshot templates-first-take

step "the template changed by the remote is used by the next take"
put_template '{title}: {NAME}'
wait_for 10 next_text_is "Rear Admiral: Grace Hopper" || fail "next_text: $(field .next_text)"
expect_api 200 POST /api/v1/cues/take '{}'
wait_for 10 row_is 0 "Rear Admiral: Grace Hopper" || fail "row 00: [$(unit_row com1 0)]"

step "a field the list lacks is refused with nothing on the line"
put_template '{Name}\n{Company}'
count=$(unit_byte_count com1)
expect_api 409 POST /api/v1/cues/take '{}'
expect_eq "$(field .error)" "no column is named Company for the template" "the refusal"
cues
expect_eq "$(field '.rows[2].refused')" "no column is named Company for the template" "the row's mark"
expect_eq "$(field .next)" 3 "the next marker"
expect_eq "$(unit_byte_count com1)" "$count" "bytes on the line"
expect_eq "$(unit_row com1 0 | sed 's/ *$//')" "Rear Admiral: Grace Hopper" "row 00"
screenshot templates-refused

quit_discarding
echo "PASS [${SECONDS}s]"
