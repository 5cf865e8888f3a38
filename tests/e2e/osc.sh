# OSC against the real window and the virtual unit, with liblo's oscsend and oscdump as the
# independent peer: text and a Send on air, a cue take, the feedback heard for a Send made
# at the window, and a flood of junk while the clock ticks.
source "$(dirname "$0")/lib.sh"

# Ports nobody holds now: the kernel's choice for sockets that are closed again.
free_udp() { perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Proto => "udp", LocalAddr => "127.0.0.1")->sockport'; }
OSC_PORT=$(free_udp)
FEEDBACK_PORT=$(free_udp)
osc() { oscsend 127.0.0.1 "$OSC_PORT" "$@" || fail "oscsend $*"; }
osc_listening() { grep -q " osc listening $OSC_PORT\$" "$TESSORA_READY_FILE"; }
heard() { grep -qF -- "$1" "$WORK/feedback"; }
expect_heard() { wait_for 10 heard "$1" || fail "no feedback [$1]: $(tail -n 5 "$WORK/feedback")"; }
row_is() { [ "$(unit_row com1 "$1" | sed 's/ *$//')" = "$2" ]; }
bytes_match() { (LC_ALL=C && [[ "$(unit_bytes_from com1 $(($1 + 1)))" =~ $2 ]]); }
expect_sent() { wait_for 15 bytes_match "$1" "$2" || fail "$3: $(unit_bytes_from com1 $(($1 + 1)) | cat -v)"; }

printf '%s\n' "Text,Date,Time" "First cue,," "Second cue,," >"$WORK/show.csv"
oscdump -L "$FEEDBACK_PORT" >"$WORK/feedback" 2>&1 &
UNIT_PIDS[feedback]=$!
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[OSC]" "Port=$OSC_PORT" "Feedback=127.0.0.1:$FEEDBACK_PORT"
start_app --cues "$WORK/show.csv"
wait_main_window
wait_bytes com1 43
wait_for 10 osc_listening || fail "the program never said it listens on UDP $OSC_PORT"

step "text and a Send of screen 2 by OSC, a float where the screen number is meant"
count=$(unit_byte_count com1)
osc /tessora/text is 2 "Hello OSC"
osc /tessora/send f 2.0
expect_sent "$count" '\{A19\{C0000Hello OSC\{C0001' "OSC Send"
expect_heard '/tessora/on_air/text s "Hello OSC"'
expect_heard '/tessora/on_air/screen i 2'

step "a cue take goes on air as the cue, and the list's markers are told"
osc /tessora/cue/take
wait_for 10 row_is 0 "First cue" || fail "cue take: row 00 is [$(unit_row com1 0)]"
expect_heard '/tessora/cue/on_air i 1'
expect_heard '/tessora/cue/next_text s "Second cue"'

step "a Send made with the window's key (Ctrl+Return) is heard too"
locate_window
osc /tessora/text is 2 "By the key"
press Screen2
press scrText
key ctrl+Return
wait_for 10 row_is 0 "By the key" || fail "Send at the window: row 00 is [$(unit_row com1 0)]"
expect_heard '/tessora/on_air/text s "By the key"'

step "a flood of junk while the clock ticks: ignored, counted, the program on time"
# The time in the bottom-right corner: a tick a second from now on.
osc /tessora/corners iii 2 0 4
osc /tessora/send
expect_heard '/tessora/on_air/text s "By the key"'
sleep 1.5 # the Send's own stamp passes; only the ticks are counted
count=$(unit_byte_count com1)
started=$SECONDS
python3 - "$OSC_PORT" <<'PY'
import socket, struct, sys, time
port = int(sys.argv[1])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
junk = [b"\x00" * 3, b"garbage!", b"/tessora/send\x00\x00\x00,s\x00\x00", b"#bundle\x00" + b"\x00" * 8 + struct.pack(">i", 999),
        b"/unknown\x00\x00\x00\x00,\x00\x00\x00", b"/tessora/screen\x00,s\x00\x00x\x00\x00\x00", b"\x00" * 9000]
end = time.time() + 3
n = 0
while time.time() < end:
    for j in junk:
        s.sendto(j, ("127.0.0.1", port))
        n += 1
    time.sleep(0.001)
print(n)
PY
ticks=$(unit_bytes_from com1 $((count + 1)) | grep -aoE '[0-9]{2}:[0-9]{2}:[0-9]{2}' | wc -l)
[ "$ticks" -ge 2 ] || fail "$ticks clock ticks reached the unit during 3 s of flood"
osc /tessora/text is 2 "After the flood"
osc /tessora/send
expect_sent "$count" '\{C0000After the flood' "Send after the flood"
lines=$(grep -c 'tessora: OSC: .* ignored' "$WORK/app.log" || true)
[ "$lines" -ge 1 ] || fail "the junk was not counted on standard error"
[ "$lines" -le $((SECONDS - started + 2)) ] || fail "$lines lines on standard error in $((SECONDS - started)) s"
app_running || fail "the program is gone"
step "done"
