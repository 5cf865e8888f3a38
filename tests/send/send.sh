#!/usr/bin/env bash
# tessora-send against the virtual caption unit on a pseudo-terminal: what reaches the unit
# for a Send and a Clear, byte for byte against the frame built here from the same second,
# and how each failure is told, with nothing sent; then the as-run log holds every send made,
# and the program lists them (when it is built).
#
#   bash send.sh <tessora-send> <tessora-unit> [<tessora>]
set -euo pipefail
SEND=$1
UNIT=$2
TESSORA=${3:-}
WORK=$(mktemp -d /tmp/tessora-send.XXXXXX)
export XDG_CONFIG_HOME=$WORK/config
export XDG_STATE_HOME=$WORK/state
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.05
    done
}

"$UNIT" --quiet --dump "$WORK/unit.dump" --log "$WORK/unit.log" >"$WORK/unit.out" &
PIDS+=($!)
wait_for 10 test -s "$WORK/unit.out" || fail "the unit printed no device"
DEVICE=$(head -n 1 "$WORK/unit.out")
touch "$WORK/unit.log"
mkdir -p "$XDG_CONFIG_HOME/Halvercrest"
printf '[General]\nCommPort=COM2\n\n[Ports]\nCOM2=%s\nCOM3=%s\n' "$DEVICE" "$WORK/no-device" \
    >"$XDG_CONFIG_HOME/Halvercrest/Tessora.conf"

# A screen record: time corner, date corner, then the text with its one-byte length.
record() { printf "\\x$1\\0\\0\\0\\x$2\\0\\0\\0\\x$(printf %02x ${#3})%s" "$3"; }
{
    record 00 00 "The quick brown fox jumps over the lazy dog and then runs far away home"
    record 02 02 "Hello"
    record 03 00 ""
    record 00 00 ""
} >"$WORK/show.tso"
head -c 50 "$WORK/show.tso" >"$WORK/short.tso"

SENT=0
received() { perl -ne '@f = split; print chr(hex($f[1]))' "$WORK/unit.log"; }
count() { wc -l <"$WORK/unit.log"; }
has_bytes() { [ "$(count)" -ge "$1" ]; }

# run EXPECTED-STATUS ARGUMENTS...: one run of tessora-send, its error output in $ERR.
run() {
    local want=$1 status=0
    shift
    FROM=$(($(count) + 1))
    FIRST=$(date +%s)
    "$SEND" "$@" >"$WORK/out" 2>"$WORK/err" || status=$?
    LAST=$(date +%s)
    ERR=$(cat "$WORK/err")
    [ "$status" -eq "$want" ] || fail "tessora-send $* exited $status, not $want: $ERR"
}

# expect FRAME WHAT: the last run sent exactly FRAME, its stamps (@D@, @T@) from one second
# while it ran. The run ends only once the line has taken the bytes.
expect() {
    local frame=$1 what=$2 second got
    wait_for 10 has_bytes $((FROM + ${#frame} - 1)) || fail "$what: the unit got $(received | tail -c +"$FROM")"
    got=$(received | tail -c +"$FROM")
    for ((second = FIRST; second <= LAST; second++)); do
        local want=${frame//@D@/$(date -d "@$second" +%d/%m/%y)}
        if [ "$got" == "${want//@T@/$(date -d "@$second" +%H:%M:%S)}" ]; then
            SENT=$((SENT + ${#got}))
            return 0
        fi
    done
    fail "$what: the unit got [$got], not [$frame] at a second from $FIRST to $LAST"
}

echo "-- a screen with both stamps, to the port the settings name"
run 0 "$WORK/show.tso" 2
expect '{A19{C3500@D@{C4300 @T@{C0001Hello{C0002' "screen 2"
wait_for 5 grep -q '^Hello ' <(sed -n 2p "$WORK/unit.dump") || fail "the unit does not show Hello"

echo "-- a long line, to a device given as the port; a bottom stamp, to a mapped name"
run 0 --port "$DEVICE" "$WORK/show.tso" 1
expect '{A19{C0000The quick brown fox jumps over the lazy dog and{C0001then runs far away home{C0002' "screen 1"
run 0 --port=COM2 "$WORK/show.tso" 3
expect '{A19{C0018@T@{C0000{C0001' "screen 3"

echo "-- files and screens that cannot be sent send nothing"
run 3 "$WORK/short.tso" 2
[[ $ERR == *"short.tso: An attempt was made to access an unnamed file past its end."* ]] ||
    fail "a cut-short file: $ERR"
run 3 "$WORK/missing.tso" 1
[[ $ERR == *"missing.tso was not found."* ]] || fail "a missing file: $ERR"
mkdir "$WORK/folder.tso"
mkfifo "$WORK/pipe.tso"
for kind in folder pipe; do
    run 3 "$WORK/$kind.tso" 1
    [[ $ERR == *"$kind.tso is a $kind, not a screen set file."* ]] || fail "a $kind: $ERR"
done
run 3 /dev/null 1
[[ $ERR == *"/dev/null is a device, not a screen set file."* ]] || fail "a device: $ERR"
{
    # Corners 0 and 0, then a 32-bit length of 1 MiB and one byte.
    printf '\0\0\0\0\0\0\0\0\xff\xff\xff\x01\x00\x10\x00'
    head -c 1048577 /dev/zero | tr '\0' 'a'
} >"$WORK/long.tso"
run 3 "$WORK/long.tso" 1
[[ $ERR == *"long.tso holds a screen text of 1048577 bytes; a screen may hold at most 1048576."* ]] ||
    fail "a text over 1 MiB: $ERR"
for screen in 0 5; do
    run 2 "$WORK/show.tso" "$screen"
    [[ $ERR == *"no screen '$screen': screens are 1 to 4"* ]] || fail "screen $screen: $ERR"
done

echo "-- ports that do not open say why"
run 4 --port COM3 "$WORK/show.tso" 2
[[ $ERR == *"could not open COM3: $WORK/no-device: No such file or directory"* ]] ||
    fail "a missing device: $ERR"
# Another program holds the device until the pipe it reads is closed.
mkfifo "$WORK/release"
flock -o "$DEVICE" -c "touch '$WORK/held' && cat >/dev/null" <"$WORK/release" &
PIDS+=($!)
exec 7>"$WORK/release"
wait_for 10 test -e "$WORK/held" || fail "nothing held the device"
run 4 "$WORK/show.tso" 2
[[ $ERR == *"could not open COM2: $DEVICE: "*"Held by another program: "*"flock ("* ]] ||
    fail "a busy port: $ERR"
exec 7>&-
wait "${PIDS[-1]}" || fail "the device's holder did not end"

echo "-- a settings file not read as written: mapped ports still open, unmapped ones none"
SETTINGS=$XDG_CONFIG_HOME/Halvercrest/Tessora.conf
cp "$SETTINGS" "$WORK/settings"
printf 'a line with no equals sign\n' >>"$SETTINGS"
run 4 --port COM99 "$WORK/show.tso" 2
[[ $ERR == *"Tessora.conf, line 7: it has no \"=\""*"could not open COM99: no device: "* ]] ||
    fail "an unmapped port with a misread file: $ERR"
cp "$WORK/settings" "$SETTINGS"

echo "-- Clear alone, and with a screen's stamps"
run 0 --clear
expect '{A19' "clear"
run 0 --clear "$WORK/show.tso" 2
expect '{A19{C3500@D@{C4300 @T@' "clear with stamps"
# Every byte the unit got came from a run that was to send it, in the frames above.
[ "$(count)" -eq "$SENT" ] || fail "the unit got $(count) bytes, the runs sent $SENT"

echo "-- the sends made are in the as-run log as the script's, and the program lists them"
LOGS=$XDG_STATE_HOME/Halvercrest/Tessora/as-run
# The day files in date order: past midnight the runs may span two.
logged=$(cat "$LOGS"/*.jsonl | jq -r '[.kind, .origin, .screen, .text, .date, .time, .port, .device, .taken] | @tsv')
want=$(printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' \
    send script 2 Hello 2 2 COM2 "$DEVICE" true \
    send script 1 "The quick brown fox jumps over the lazy dog and then runs far away home" 0 0 \
    "$DEVICE" "$DEVICE" true \
    send script 3 "" 0 3 COM2 "$DEVICE" true \
    clear script 0 "" 0 0 COM2 "$DEVICE" true \
    clear script 2 "" 0 0 COM2 "$DEVICE" true)
[ "$logged" == "$want" ] || fail "the as-run log holds [$logged], not [$want]"
if [ -n "$TESSORA" ]; then
    listed=""
    for file in "$LOGS"/*.jsonl; do
        listed+=$("$TESSORA" --as-run "$(basename "$file" .jsonl)")$'\n'
    done
    [ "$(grep -cE '^[0-9:.]{12}  script   (send|clear) ' <<<"$listed")" -eq 5 ] ||
        fail "tessora --as-run lists: $listed"
    grep -qE '^[0-9:.]{12}  script   send +2 +Hello$' <<<"$listed" ||
        fail "tessora --as-run lists no Send of Hello: $listed"
fi
echo "tessora-send: all checks passed"
