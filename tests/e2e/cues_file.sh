# The cue list's file against the real window and the virtual unit: the unit's own commands
# in a cue marked and sent as they stand, control characters kept from the unit, a list
# behind a link pointed elsewhere and a list removed and put back read again, and lists with
# huge cells refused while the clock on the picture keeps its second. Prints the figures:
# the longest pause of the clock while a hostile list loads, a take of a 1 MiB cue, and the
# program's peak memory with the largest list it takes.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cue_api.sh"

TOKEN="tok-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
now_ms() { date +%s%3N; }

API_MAX_TIME=60
cues() { expect_api 200 GET /api/v1/cues; }
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }
said_count() { grep -c " cues $1" "$TESSORA_READY_FILE" 2>/dev/null || true; }
said_more_than() { [ "$(said_count "$1")" -gt "$2" ]; }
# Waits for the program to say WHAT (loaded, refused, missing) once more than BEFORE times.
wait_said() { wait_for "${3:-60}" said_more_than "$1" "$2" || fail "the program never said cues $1 (${4:-})"; }
# The clock's writes as bursts, one a second: how many began after unit time FROM (ms).
ticks_after() {
    awk -v from="$1" '$1 > from { if (last == "" || $1 - last > 300) n++; last = $1 } END { print n + 0 }' "$WORK/com1.log"
}
more_ticks_than() { [ "$(ticks_after "$1")" -gt "$2" ]; }
# The longest pause between the clock's bursts from unit time FROM to UNTIL, in ms.
longest_pause() {
    awk -v from="$1" -v until="$2" '$1 >= from && $1 <= until {
            if (last != "" && $1 - last > 300 && $1 - last > gap) gap = $1 - last
            last = $1 } END { print gap + 0 }' "$WORK/com1.log"
}
unit_now() { echo $(($(now_ms) - UNIT_T0)); }

printf '%s\n' "Text,Time,Note" "Clock cue,Top Left,stamped" \
    "$(printf '"A\033[2Jb\007c\010d\013e\014f\177g"'),,controls" \
    '"Row {C0005moved",,command' >"$WORK/v1.csv"
printf '%s\n' "Text,Time" "Second list,Top Left" "two" "three" >"$WORK/v2.csv"
ln -s v1.csv "$WORK/show.csv"

UNIT_T0=$(now_ms)
start_unit com1
# Cue 1 is taken again across each reload, sooner than a bounced button would be held back.
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN" "[Cues]" "RepeatGuardMs=0"
start_app --cues "$WORK/show.csv"
wait_main_window
wait_bytes com1 43
wait_said loaded 0 20 "the list named on the command line"

step "the unit's own commands in a cue are marked, and reach the unit as they stand"
cues
expect_eq "$(field '[.rows[].commands] | tostring')" '[false,false,true]' "commands marks"
expect_api 200 POST /api/v1/cues/take '{"cue": 3}'
wait_for 10 row_is 5 "moved" || fail "{C0005 in the cue did not move the text: row 05 [$(unit_row com1 5)]"

step "control characters in a cue do not reach the unit"
from=$(($(unit_byte_count com1) + 1))
expect_api 200 POST /api/v1/cues/take '{"cue": 2}'
wait_for 10 row_is 0 "A[2Jbcdefg" || fail "row 00 is [$(unit_row com1 0)]"
sent=$(unit_bytes_from com1 "$from" | od -An -tx1 | tr -s ' \n' ' ')
for byte in 1b 07 08 0b 0c 7f; do
    [[ " $sent " != *" $byte "* ]] || fail "byte $byte reached the unit: $sent"
done

step "a list behind a link pointed at another file is read again"
expect_api 200 POST /api/v1/cues/take '{"cue": 1}'
loaded=$(said_count loaded)
ln -sfn v2.csv "$WORK/show.csv"
wait_said loaded "$loaded" 15 "the link pointed at v2.csv"
cues
expect_eq "$(field '[.count, .rows[0].text] | tostring')" '[3,"Second list"]' "the list after the link moved"

step "a list removed for longer than a few seconds and put back is read again"
expect_api 200 POST /api/v1/cues/take '{"cue": 1}'
missing=$(said_count missing)
rm "$WORK/show.csv"
wait_said missing "$missing" 15 "the list removed"
# Six of the clock's seconds on the unit: longer than any retry of a replaced file.
gone_at=$(unit_now)
wait_for 20 more_ticks_than "$gone_at" 6 || fail "the clock stopped while the list was missing"
cues
expect_eq "$(field .count)" 3 "the list shown while its file is missing"
loaded=$(said_count loaded)
ln -s v1.csv "$WORK/show.csv"
wait_said loaded "$loaded" 15 "the list put back"
cues
expect_eq "$(field .count)" 3 "the list put back"
expect_eq "$(field .rows[2].commands)" true "the list put back is v1"

step "lists with a 20 MB cell are refused while the clock runs on"
expect_api 200 POST /api/v1/cues/take '{"cue": 1}'
worst=0
for column in 0 1 2; do
    perl -e 'print "Text,Date,Note\nfirst,,\n"; my @c = ("ok", "", "n");
        $c[$ARGV[0]] = "x" x 20_000_000; print join(",", @c), "\n"' "$column" >"$WORK/huge.tmp"
    refused=$(said_count refused)
    t=$(unit_now)
    mv "$WORK/huge.tmp" "$WORK/v1.csv"
    wait_said refused "$refused" 60 "a 20 MB cell in column $column"
    done_at=$(unit_now)
    wait_for 10 more_ticks_than "$done_at" 1 || fail "the clock stopped after a 20 MB cell in column $column"
    pause=$(longest_pause "$((t - 1000))" "$((done_at + 1000))")
    [ "$pause" -gt "$worst" ] && worst=$pause
done
cues
expect_eq "$(field .count)" 3 "the list shown after the refusals"

step "a 1 MiB cue, the most a screen holds, is taken"
perl -e 'print "Text,Time\nClock cue,Top Left\n\"", "y" x 1048576, "\",Top Left\n"' >"$WORK/big.tmp"
loaded=$(said_count loaded)
mv "$WORK/big.tmp" "$WORK/v1.csv"
wait_said loaded "$loaded" 60 "a 1 MiB cue"
cues
expect_eq "$(field '[.count, (.rows[1].text | length), .rows[1].cut] | tostring')" '[2,1048576,true]' "the 1 MiB cue"
expect_api 200 POST /api/v1/cues/take '{"cue": 1}'
wait_for 10 row_is 1 "Clock cue" || fail "take of cue 1: row 01 [$(unit_row com1 1)]"
t=$(unit_now)
t_take=$(now_ms)
expect_api 200 POST /api/v1/cues/take '{"cue": 2}'
take_ms=$(($(now_ms) - t_take))
wait_for 10 row_is 1 "$(printf 'y%.0s' $(seq 52))" || fail "the 1 MiB cue: row 01 [$(unit_row com1 1)]"
# The clock's stamp stays with the cue screen; its ticks go on.
done_at=$(unit_now)
wait_for 10 more_ticks_than "$done_at" 1 || fail "the clock stopped after the 1 MiB take"
take_pause=$(longest_pause "$((t - 1000))" "$((done_at + 1000))")

step "the largest list taken: 100 000 cues in 64 MiB"
perl -e 'print "Text,Note\n"; for (1 .. 100000) { print "\"", "z" x 650, "\",n$_\n" }' >"$WORK/most.tmp"
[ "$(stat -c %s "$WORK/most.tmp")" -le $((64 * 1024 * 1024)) ] || fail "the largest list is over 64 MiB"
hwm_before=$(sed -n 's/^VmHWM: *//p' "/proc/$APP_PID/status")
loaded=$(said_count loaded)
t=$(unit_now)
mv "$WORK/most.tmp" "$WORK/v1.csv"
wait_said loaded "$loaded" 120 "100 000 cues"
done_at=$(unit_now)
wait_for 10 more_ticks_than "$done_at" 1 || fail "the clock stopped after 100 000 cues"
most_pause=$(longest_pause "$((t - 1000))" "$((done_at + 1000))")
hwm_after=$(sed -n 's/^VmHWM: *//p' "/proc/$APP_PID/status")
# Without the rows: a GET would send all 64 MiB of them.
expect_api 200 POST /api/v1/cues/next
expect_eq "$(field .count)" 100000 "the largest list"

echo "figures: the clock's longest pause while lists with a 20 MB cell were refused ${worst} ms" \
    "(1000 is on time); a take of a 1 MiB cue: HTTP answer ${take_ms} ms," \
    "clock's longest pause ${take_pause} ms; 100 000 cues in 64 MiB: clock's longest pause" \
    "${most_pause} ms, peak memory of the program ${hwm_before} before, ${hwm_after} after" \
    "(AddressSanitizer build)"
quit_discarding
echo "PASS [${SECONDS}s]"
