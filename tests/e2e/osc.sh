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
sleep 1 # the Send's own stamp passes; only the ticks are counted
count=$(unit_byte_count com1)
started=$SECONDS
python3 - "$OSC_PORT" <<'PY'
import socket, struct, sys, time
port = int(sys.argv[1])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
junk = [b"\x00" * 3, b"garbage!", b"/tessora/send\x00\x00\x00,s\x00\x00", b"#bundle\x00" + b"\x00" * 8 + struct.pack(">i", 999),
        b"/unknown\x00\x00\x00\x00,\x00\x00\x00", b"/tessora/screen\x00,s\x00\x00x\x00\x00\x00", b"\x00" * 9000]
end = time.time() + 2
n = 0
while time.time() < end:
    for j in junk:
        s.sendto(j, ("127.0.0.1", port))
        n += 1
    time.sleep(0.001)
print(n)
PY
ticks=$(unit_bytes_from com1 $((count + 1)) | grep -aoE '[0-9]{2}:[0-9]{2}:[0-9]{2}' | wc -l)
[ "$ticks" -ge 1 ] || fail "no clock tick reached the unit during 2 s of flood"
expect_eq "$(unit_bytes_from com1 $((count + 1)) | grep -ao '{A19' | wc -l)" 0 "Sends or clears the junk made"
osc /tessora/text is 2 "After the flood"
osc /tessora/send
expect_sent "$count" '\{C0000After the flood' "Send after the flood"
lines=$(grep -c 'tessora: OSC: .* ignored' "$WORK/app.log" || true)
[ "$lines" -ge 1 ] || fail "the junk was not counted on standard error"
[ "$lines" -le $((SECONDS - started + 2)) ] || fail "$lines lines on standard error in $((SECONDS - started)) s"
app_running || fail "the program is gone"
quit_discarding

step "a studio-network address: the allowed sender is heard, another changes nothing"
NS=tso$$
# A subnet the machine does not use already, for a link between it and the namespace.
NET=$(for net in 198.51.100 203.0.113 10.231.18; do
    ip route 2>/dev/null | grep -q "^$net\." || { echo "$net"; break; }; done)
if [ -n "$NET" ] && ip netns add "$NS" 2>/dev/null; then
    trap 'ip netns del "$NS" 2>/dev/null || true; cleanup' EXIT
    ip link add "${NS}a" type veth peer name "${NS}b"
    ip link set "${NS}b" netns "$NS"
    ip addr add "$NET.1/24" dev "${NS}a" && ip link set "${NS}a" up
    ip netns exec "$NS" ip addr add "$NET.2/24" dev "${NS}b"
    ip netns exec "$NS" ip addr add "$NET.3/24" dev "${NS}b"
    ip netns exec "$NS" ip link set "${NS}b" up
    settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
        "[OSC]" "Port=$OSC_PORT" "Address=$NET.1" "Allow=$NET.2"
    start_app
    wait_main_window
    wait_for 10 osc_listening || fail "the program never said it listens on $NET.1"
    # from SOURCE ADDRESS TYPES VALUES...: oscsend's packet, sent from an address of the
    # namespace's own choosing.
    from() {
        local source=$1
        shift
        oscsend - "$@" | ip netns exec "$NS" python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 0))
s.sendto(sys.stdin.buffer.read(), (sys.argv[2], int(sys.argv[3])))' "$source" "$NET.1" "$OSC_PORT"
    }
    refused() { grep -q 'sender not allowed [1-9]' "$WORK/app.log"; }
    count=$(unit_byte_count com1)
    from "$NET.3" /tessora/text is 1 "Stranger"
    from "$NET.3" /tessora/send
    # Datagrams are read in order: once the desk's Send is on air, the stranger's were seen.
    from "$NET.2" /tessora/text is 1 "From the desk"
    from "$NET.2" /tessora/send
    wait_for 10 row_is 0 "From the desk" || fail "the desk's Send: row 00 is [$(unit_row com1 0)]"
    expect_eq "$(unit_bytes_from com1 $((count + 1)) | grep -ao '{A19' | wc -l)" 1 "Sends on the line"
    wait_for 10 refused || fail "the stranger's packets were not counted"
    quit_discarding
else
    echo "SKIP the studio-network address: no network namespace can be made here"
fi
step "done"
