#!/usr/bin/env bash
# The Windows port and tessora-send.exe under wine against the virtual unit on a
# pseudo-terminal that wine's registry maps as COM1: the port's own tests on that line, then
# the unit shows for tessora-send.exe exactly what it shows for the Linux tessora-send and the
# same file, and last the port sees the unit go. The Linux programs come from a Linux build; without one the test is skipped (77).
#
#   bash send_com.sh <tessora-send.exe> <serial_tests.exe> <tessora-send> <tessora-unit>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
SEND_EXE=$1
PORT_TESTS=$2
SEND=$3
UNIT=$4
if [ ! -x "$SEND" ] || [ ! -x "$UNIT" ]; then
    echo "no Linux build of tessora-send and tessora-unit ($SEND, $UNIT): skipped"
    exit 77
fi
WORK=$(mktemp -d /tmp/tessora-com.XXXXXX)
export XDG_CONFIG_HOME=$WORK/config
# A prefix of its own: mapping COM1 restarts wine's server, which must not end other tests'.
export WINEPREFIX=${TESSORA_COM_PREFIX:-$here/../../build/wine-com}
wine=${TESSORA_WINE:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    "$wineserver" -k 2>/dev/null || true
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

# wine takes its ports from the registry when its server starts.
bash "$here/wine.sh" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$DEVICE" /f >/dev/null
"$wineserver" -k || true
"$wineserver" -w

echo "-- the port's own tests on COM1"
TESSORA_TEST_COM=COM1 bash "$here/wine.sh" "$PORT_TESTS" --gtest_filter='WinPort*' \
    --gtest_brief=1 || fail "the port's tests on COM1"

# A screen with no stamps, so that the two runs show the same whatever second each sends in.
record() { printf "\\x$1\\0\\0\\0\\x$2\\0\\0\\0\\x$(printf %02x ${#3})%s" "$3"; }
{
    record 00 00 "The quick brown fox jumps over the lazy dog and then runs far away home"
    record 00 00 ""
    record 00 00 ""
    record 00 00 ""
} >"$WORK/show.tso"
blank() { ! grep -q '[^ ]' "$WORK/unit.dump"; }
shows() { cmp -s "$WORK/linux.dump" "$WORK/unit.dump"; }

echo "-- the Linux tessora-send"
"$SEND" --port "$DEVICE" "$WORK/show.tso" 1
wait_for 10 grep -q '^The quick' "$WORK/unit.dump" || fail "the unit does not show the screen"
cp "$WORK/unit.dump" "$WORK/linux.dump"
"$SEND" --port "$DEVICE" --clear
wait_for 10 blank || fail "the unit was not cleared"

echo "-- tessora-send.exe on COM1"
bash "$here/wine.sh" "$SEND_EXE" --port COM1 "$WORK/show.tso" 1 ||
    fail "tessora-send.exe exited $?"
wait_for 10 shows || fail "the unit shows $(cat "$WORK/unit.dump"), not $(cat "$WORK/linux.dump")"
bash "$here/wine.sh" "$SEND_EXE" --port COM250 "$WORK/show.tso" 1 2>"$WORK/err" && fail "COM250 opened"
grep -q 'could not open COM250: \\\\.\\COM250: No such file or directory' "$WORK/err" ||
    fail "a missing port: $(cat "$WORK/err")"

echo "-- the unit gone while COM1 is open"
TESSORA_TEST_COM=COM1 TESSORA_TEST_GONE=$WORK/open bash "$here/wine.sh" "$PORT_TESTS" \
    --gtest_filter='WinPortOnUnit.APeerGone*' --gtest_brief=1 >"$WORK/gone.out" 2>&1 &
GONE=$!
wait_for 30 test -e "$WORK/open" || fail "the port did not open: $(cat "$WORK/gone.out")"
kill "${PIDS[0]}"
wait "$GONE" || fail "a peer gone: $(cat "$WORK/gone.out")"
echo "tessora-send.exe: the unit shows what the Linux tessora-send gives; a peer gone is seen"
