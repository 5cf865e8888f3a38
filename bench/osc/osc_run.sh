#!/usr/bin/env bash
# Measures OSC against a virtual unit under its own X server:
#  - from an OSC /tessora/send to the first byte at the unit, beside an HTTP POST
#    /api/v1/send in the same run from the same client, on the same one-line screen;
#  - a flood of 10 000 packets a second for 5 s (malformed, unknown and valid-but-refused
#    ones mixed) while the clock ticks: how late the ticks reach the unit, against the same
#    time without it, and the program's CPU time.
#   xvfb-run -a bash bench/osc/osc_run.sh <tessora> <tessora-unit> [runs] [flood seconds] [rate]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${3:-20}
flood_seconds=${4:-5}
rate=${5:-10000}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-osc}"
source "$here/../lateness.sh"

PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
OSC_PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Proto => "udp", LocalAddr => "127.0.0.1")->sockport')
BASE="http://127.0.0.1:$PORT/api/v1"
AUTH=(-H "Authorization: Bearer bench-token")
JSON=("${AUTH[@]}" -H 'Content-Type: application/json')
unit_started=$(date +%s%3N)
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "[Remote]" "Port=$PORT" \
    "Token=bench-token" "[OSC]" "Port=$OSC_PORT"
start_app
wait_bytes com1 43 30
wait_main_window
wait_for 10 grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE" || fail "remote not listening"
wait_for 10 grep -q " osc listening $OSC_PORT\$" "$TESSORA_READY_FILE" || fail "OSC not listening"
oscsend 127.0.0.1 "$OSC_PORT" /tessora/text is 1 "OSC bench"
sent=$((4 + 6 + 9 + 6))   # the clear, the text at row 00, the position after it

# One client process for both, its sockets opened before the runs: an OSC datagram and an
# HTTP POST on a kept-open connection, alternately, each timed from just before it leaves to
# the first byte of its Send at the unit. The unit counts its milliseconds from its own
# start, a little after $unit_started: both figures carry that offset, their difference does
# not. The writer's sleep while its ring is empty spreads each over 0 to 50 ms, so only many
# runs compare.
python3 - "$OSC_PORT" "$PORT" "$runs" "$WORK/com1.log" "$unit_started" "$sent" <<'PY'
import http.client, socket, statistics, sys, time
osc_port, http_port, runs, log, started, sent = sys.argv[1:]
osc_port, http_port, runs, started, sent = int(osc_port), int(http_port), int(runs), int(started), int(sent)
def count():
    with open(log) as f:
        return sum(1 for _ in f)
def byte_time(n):
    with open(log) as f:
        for i, line in enumerate(f, 1):
            if i == n:
                return int(line.split()[0]) + started
def wait(n):
    deadline = time.time() + 30
    while count() < n:
        if time.time() > deadline:
            sys.exit("the unit got no Send")
        time.sleep(0.002)
udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
packet = b"/tessora/send\x00\x00\x00,\x00\x00\x00"
web = http.client.HTTPConnection("127.0.0.1", http_port, timeout=10)
headers = {"Authorization": "Bearer bench-token", "Content-Type": "application/json"}
web.request("GET", "/api/v1/status", headers=headers); web.getresponse().read()
osc, http = [], []
for run in range(runs):
    before = count()
    t = time.time() * 1000
    udp.sendto(packet, ("127.0.0.1", osc_port))
    wait(before + sent)
    osc.append(byte_time(before + 1) - t)
    time.sleep(0.1)
    before = count()
    t = time.time() * 1000
    web.request("POST", "/api/v1/send", body=b"", headers=headers)
    web.getresponse().read()
    wait(before + sent)
    http.append(byte_time(before + 1) - t)
    time.sleep(0.1)
    print("run %d: send to first byte: osc %.0f ms, http %.0f ms" % (run + 1, osc[-1], http[-1]))
print("send to first byte over %d runs: osc median %.1f ms, mean %.1f ms; http median %.1f ms, "
      "mean %.1f ms; osc - http: median %.1f ms, mean %.1f ms"
      % (runs, statistics.median(osc), statistics.mean(osc), statistics.median(http),
         statistics.mean(http), statistics.median(osc) - statistics.median(http),
         statistics.mean(osc) - statistics.mean(http)))
PY

# The time stamp in the top-left corner: one tick a second from now on.
oscsend 127.0.0.1 "$OSC_PORT" /tessora/corners iii 1 0 1
oscsend 127.0.0.1 "$OSC_PORT" /tessora/send
sleep 2.5
cpu() { awk '{print $14 + $15}' "/proc/$APP_PID/stat"; }
hz=$(getconf CLK_TCK)
quiet_from=$(($(unit_byte_count com1) + 1))
cpu_before=$(cpu)
sleep "$flood_seconds"   # the quiet baseline: the measurement's length, not a wait
quiet_to=$(unit_byte_count com1)
echo "ticks without flood: $(lateness "$quiet_from" "$quiet_to"); CPU $(awk -v t=$(($(cpu) - cpu_before)) -v hz="$hz" -v s="$flood_seconds" 'BEGIN {printf "%.0f%%", 100 * t / hz / s}')"

flood_from=$(($(unit_byte_count com1) + 1))
cpu_before=$(cpu)
python3 - "$OSC_PORT" "$rate" "$flood_seconds" <<'PY'
import socket, struct, sys, time
port, rate, seconds = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
junk = [b"garbage!", b"/unknown\x00\x00\x00\x00,\x00\x00\x00",
        b"/tessora/screen\x00,s\x00\x00x\x00\x00\x00",
        b"#bundle\x00" + b"\x00" * 8 + struct.pack(">i", 999), b"\x00" * 9000]
start = time.monotonic()
n = 0
while True:
    elapsed = time.monotonic() - start
    if elapsed >= seconds:
        break
    # Keep to the rate in 1 ms steps.
    while n < rate * elapsed:
        try:
            s.sendto(junk[n % len(junk)], ("127.0.0.1", port))
        except OSError:
            pass
        n += 1
    time.sleep(0.001)
print("flood: %d packets in %.1f s (%.0f/s)" % (n, time.monotonic() - start, n / (time.monotonic() - start)))
PY
flood_cpu=$(($(cpu) - cpu_before))
flood_to=$(unit_byte_count com1)
echo "ticks under flood: $(lateness "$flood_from" "$flood_to"); CPU $(awk -v t="$flood_cpu" -v hz="$hz" -v s="$flood_seconds" 'BEGIN {printf "%.0f%%", 100 * t / hz / s}')"
echo "stderr lines on OSC: $(grep -c 'tessora: OSC: .* ignored' "$WORK/app.log" || true)"
grep 'tessora: OSC: .* ignored' "$WORK/app.log" | tail -n 2
app_running || fail "the program ended during the flood"
quit_discarding
