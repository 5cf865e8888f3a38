# The clock on the picture across a change to summer time: the real program under libfaketime,
# in Europe/London, from a few minutes before 01:00 GMT on 29 March 2026, when the clocks go
# forward to 02:00 BST. Every second reaches the line once, and 00:59:59 is followed by
# 02:00:00.
source "$(dirname "$0")/lib.sh"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || fail "no libfaketime (Debian's faketime package)"

# The stamps the unit has been sent in the top left corner, one a line.
stamps() { unit_bytes com1 | grep -ao '{C0000[0-9][0-9]:[0-9][0-9]:[0-9][0-9]' | cut -c7- || true; }
stamp_seen() { stamps | grep -qx "$1"; }

# Screen1 with the time in the top left corner and no date.
printf '\x01\0\0\0\0\0\0\0\0' >"$WORK/clock.tso"
printf '\0\0\0\0\0\0\0\0\0%.0s' 1 2 3 >>"$WORK/clock.tso"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
# The program's clock starts at the time given and runs on at the real rate; its timers, which
# wait on the monotonic clock, are left alone. The sanitizer's runtime need not come first.
TZ=Europe/London FAKETIME="@2026-03-29 00:58:45" FAKETIME_DONT_FAKE_MONOTONIC=1 \
    LD_PRELOAD="$FAKETIME_LIB" ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0" \
    start_app "$WORK/clock.tso"
wait_main_window_any_title
wait_bytes com1 43
has_stamps() { [ -n "$(stamps)" ]; }
wait_for 30 has_stamps || fail "no stamps from the faked clock: $(unit_bytes com1 | tail -c 200 | cat -v)"
first=$(stamps | head -n 1)
[[ $first < "00:59:50" ]] || fail "the program was up only at $first, too late to watch the change"

step "from $first: waiting for the change to summer time"
wait_for 120 stamp_seen "02:00:05" || fail "no 02:00:05 on the line: $(stamps | tail -n 5 | tr '\n' ' ')"
around=$(stamps | sed -n '/^00:59:50$/,/^02:00:05$/p' | tr '\n' ' ')
echo "on the line: $around"
expected="00:59:50 00:59:51 00:59:52 00:59:53 00:59:54 00:59:55 00:59:56 00:59:57 00:59:58 00:59:59 "
expected+="02:00:00 02:00:01 02:00:02 02:00:03 02:00:04 02:00:05 "
expect_eq "$around" "$expected" "the stamps across the change"
expect_eq "$(stamps | grep -c '^01:')" 0 "stamps in the hour that is skipped"
quit_discarding
echo "PASS [${SECONDS}s]"
