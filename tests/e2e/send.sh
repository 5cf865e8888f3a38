# Send, corner changes, Clear and the running clock, checked on the virtual unit's display
# and byte log.
source "$(dirname "$0")/lib.sh"

show_display() {
    echo "unit display ($1):"
    sed 's/^/    |/; s/$/|/' "$WORK/com1.dump"
    cp "$WORK/com1.dump" "$ARTEFACTS/$1.txt"
}
trimmed_row() { unit_row com1 "$1" | sed 's/ *$//'; }
# row_is ROW TEXT / cells_are ROW FROM-TO TEXT: what the unit's display shows now.
row_is() { [ "$(trimmed_row "$1")" = "$2" ]; }
cells_are() { [ "$(unit_row com1 "$1" | cut -c"$2")" = "$3" ]; }
clock_not() { ! cells_are 0 45-52 "$1" && [[ "$(unit_row com1 0 | cut -c45-52)" =~ ^[0-9]{2}:[0-9]{2}:[0-9]{2}$ ]]; }

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
wait_bytes com1 43

step "two lines on rows 00 and 01, byte for byte"
press scrText
type_text "Hello"
key Return
type_text "World"
press btnSend
wait_bytes com1 $((43 + 4 + 28))
expect_eq "$(unit_bytes_from com1 44)" "{A19{C0000Hello{C0001World{C0002" "Send bytes"
expect_eq "$(trimmed_row 0)" "Hello" "row 00"
expect_eq "$(trimmed_row 1)" "World" "row 01"

step "a date corner resends the screen with the date, the text a row lower"
count=$(unit_byte_count com1)
choose cmbDate 1
wait_bytes com1 $((count + 4 + 14 + 28))
today=$(date +%d/%m/%y)
sent=$(unit_bytes_from com1 $((count + 1)))
[[ "$sent" =~ ^\{A19\{C0000[0-9]{2}/[0-9]{2}/[0-9]{2}\{C0001Hello\{C0002World\{C0003 ]] ||
    fail "resend bytes: $sent"
expect_eq "$(unit_row com1 0 | cut -c1-8)" "$today" "date at the top left"
expect_eq "$(trimmed_row 1)" "Hello" "row 01"
expect_eq "$(trimmed_row 2)" "World" "row 02"

step "both stamps in the top right, sent, and the clock runs"
choose cmbDate 2
choose cmbTime 2
press btnSend
today=$(date +%d/%m/%y)
wait_for 10 cells_are 0 36-43 "$today" || fail "no date at column 35"
wait_for 10 clock_not "" || fail "no time at column 44"
show_display send-with-both-stamps
expect_eq "$(trimmed_row 0 | cut -c36-43)" "$today" "date at column 35"
first=$(unit_row com1 0 | cut -c45-52)
[[ "$first" =~ ^[0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] || fail "no time at column 44: [$first]"
wait_for 5 clock_not "$first" || fail "the clock stood still at $first"
screenshot send-main-window

step "Clear removes the text and keeps the stamps"
press btnClear
wait_for 10 row_is 1 "" || fail "row 01 kept [$(trimmed_row 1)] after Clear"
expect_eq "$(trimmed_row 2)" "" "row 02 after Clear"
expect_eq "$(unit_row com1 0 | cut -c36-43)" "$today" "date kept"

step "an operator's brace goes out unchanged"
choose cmbDate 0
choose cmbTime 0
press scrText
key ctrl+a
type_text "{C0510x"
count=$(unit_byte_count com1)
press btnSend
wait_bytes com1 $((count + 4 + 6 + 7 + 6))
expect_eq "$(unit_bytes_from com1 $((count + 1)))" "{A19{C0000{C0510x{C0001" "brace bytes"

step "an overlong text: the rows that fit, and the warning on the message line"
press scrText
key ctrl+a
for i in $(seq 1 18); do type_text "$i"; key Return; done
press btnSend
wait_for 30 row_is 16 "17" || fail "row 16 holds [$(trimmed_row 16)], not line 17"
[ -z "$(trimmed_row 17)" ] || fail "line 18 reached the unit"
press Screen2
press Screen1
screenshot send-too-long-warning
quit_discarding
echo "PASS [${SECONDS}s]"
