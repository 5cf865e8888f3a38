#!/usr/bin/env bash
# The real program under two floods on 127.0.0.1, against a virtual unit under its own X server:
#  - idle: the program's resident memory sampled every 100 ms and the clock's tick lateness at
#    the unit, with nothing else going on (the baseline);
#  - ping flood: one client with the token opens the push channel and sends masked ping frames
#    as fast as it can, never reading a pong; the same samples, and whether the client is cut off;
#  - Telnet flood: COM1 mapped to rfc2217:// on a local server that answers every connection
#    with endless IAC DO/DONT/WILL/WONT and never reads; resident memory, CPU time, how long
#    GET /api/v1/status takes meanwhile, and what the program says about the line.
# Every phase ends by itself; the trap in lib.sh ends the program and the unit.
#   xvfb-run -a bash bench/remote/flood_lateness.sh <tessora> <tessora-unit> [seconds] [telnet seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${3:-10}
telnet_seconds=${4:-15}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-flood}"
source "$here/../lateness.sh"

free_port() { perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport'; }
PORT=$(free_port)
BASE="http://127.0.0.1:$PORT/api/v1"
AUTH=(-H "Authorization: Bearer bench-token")
JSON=("${AUTH[@]}" -H 'Content-Type: application/json')
HELPERS=()
stop_helpers() { for pid in "${HELPERS[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap 'stop_helpers; cleanup' EXIT

# flood.py MODE PID SECONDS [PORT]: samples VmRSS of PID every 100 ms for SECONDS and prints
# "rss before, peak, after" in KiB. MODE ping also floods the push channel on PORT meanwhile;
# MODE telnet serves Telnet negotiations on PORT to every connection instead, and adds
# the program's CPU time over the period.
cat >"$WORK/flood.py" <<'EOF'
import os, select, socket, sys, threading, time

mode, pid, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
port = int(sys.argv[4]) if len(sys.argv) > 4 else 0

def rss():
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0

def cpu_ticks():
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime

state = {"sent": 0, "dropped": None, "connections": 0, "stop": False}
start = time.monotonic()
worker = None

def ping_flood():
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    s.sendall(b"GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\n"
              b"Authorization: Bearer bench-token\r\nUpgrade: websocket\r\n"
              b"Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
              b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n")
    head = s.recv(1024)
    if not head.startswith(b"HTTP/1.1 101"):
        state["dropped"] = "upgrade refused: " + head[:40].decode(errors="replace")
        return
    # A masked ping with the largest payload a control frame may carry.
    mask = b"\x01\x02\x03\x04"
    payload = b"p" * 125
    ping = b"\x89\xfd" + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
    batch = ping * 500
    s.setblocking(False)
    while not state["stop"]:
        _, w, x = select.select([], [s], [s], 0.005)
        if x:
            state["dropped"] = "error at %.2f s" % (time.monotonic() - start)
            break
        if w:
            try:
                state["sent"] += s.send(batch)
            except BlockingIOError:
                pass
            except OSError as e:
                state["dropped"] = "%s at %.2f s" % (e.strerror, time.monotonic() - start)
                break
    s.close()

def telnet_client(c):
    # IAC DO/DONT/WILL/WONT over assorted options, the COM port option among them.
    chunk = b"".join(bytes([255, verb, opt]) for opt in (0, 1, 3, 5, 24, 31, 34, 39, 44, 200)
                     for verb in (253, 254, 251, 252)) * 100
    c.settimeout(0.2)
    while not state["stop"]:
        try:
            c.send(chunk)
            state["sent"] += len(chunk)
        except socket.timeout:
            pass
        except OSError:
            break
    c.close()

def telnet_server():
    srv = socket.socket()
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", port))
    srv.listen(8)
    if os.environ.get("FLOOD_READY"):
        open(os.environ["FLOOD_READY"], "w").close()
    srv.settimeout(0.1)
    while not state["stop"]:
        try:
            c, _ = srv.accept()
        except socket.timeout:
            continue
        state["connections"] += 1
        threading.Thread(target=telnet_client, args=(c,), daemon=True).start()
    srv.close()

if mode == "telnet":
    worker = threading.Thread(target=telnet_server, daemon=True)
    worker.start()
if pid.startswith("@"):  # the program starts after the server: wait for its id
    deadline = time.monotonic() + 120
    while not (os.path.exists(pid[1:]) and open(pid[1:]).read().strip()):
        if time.monotonic() > deadline:
            state["stop"] = True
            sys.exit("no program id")
        time.sleep(0.1)
    pid = open(pid[1:]).read().strip()
pid = int(pid)
start = time.monotonic()
before = rss()
cpu_before = cpu_ticks()
if mode == "ping":
    worker = threading.Thread(target=ping_flood, daemon=True)
    worker.start()
peak = before
while time.monotonic() - start < seconds:
    time.sleep(0.1)
    peak = max(peak, rss())
state["stop"] = True
if worker:
    worker.join(2)
elapsed = time.monotonic() - start
cpu = (cpu_ticks() - cpu_before) / os.sysconf("SC_CLK_TCK")
time.sleep(0.5)
print("RSS before %d KiB, peak %d KiB (+%.1f MiB), 0.5 s after %d KiB; CPU %.2f s in %.1f s (%.0f%%)"
      % (before, peak, (peak - before) / 1024, rss(), cpu, elapsed, 100 * cpu / elapsed))
if mode == "ping":
    print("pings sent %.1f MiB; client %s" % (state["sent"] / 1048576,
          "dropped: " + state["dropped"] if state["dropped"] else "not dropped"))
if mode == "telnet":
    print("negotiation bytes sent %.1f MiB over %d connections" % (state["sent"] / 1048576,
          state["connections"]))
EOF

# probe_status SECONDS: GET /api/v1/status every second, printing how long each took.
probe_status() {
    local end=$((SECONDS + $1)) times=()
    while [ $SECONDS -lt "$end" ]; do
        times+=("$(curl -s -o /dev/null -m 5 "${AUTH[@]}" -w '%{http_code}:%{time_total}' "$BASE/status")")
        sleep 1
    done
    echo "status calls (code:seconds): ${times[*]}"
}

# phase NAME MODE [PORT]: the samples, status probes and tick lateness over $seconds.
phase() {
    local from to
    from=$(($(unit_byte_count com1) + 1))
    probe_status "$seconds" >"$WORK/probe.$1" &
    HELPERS+=($!)
    python3 "$WORK/flood.py" "$2" "$APP_PID" "$seconds" ${3:-} >"$WORK/flood.$1"
    wait "${HELPERS[-1]}" || true
    to=$(unit_byte_count com1)
    echo "== $1"
    sed 's/^/   /' "$WORK/flood.$1" "$WORK/probe.$1"
    echo "   ticks: $(lateness "$from" "$to")"
    app_running || fail "the program ended during $1"
}

unit_started=$(date +%s%3N)
start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" "[Remote]" "Port=$PORT" \
    "Token=bench-token"
start_app
wait_bytes com1 43 60
wait_main_window 60
wait_for 20 grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE" || fail "not listening"
# The time stamp in the top-left corner: one tick a second from now on.
curl -sf -o /dev/null "${JSON[@]}" -X PUT --data-binary '{"text": "Flood bench", "time": 1}' \
    "$BASE/screens/1"
# The corner change sends the screen with a stamp of its own; only the ticks are counted.
sleep 2.5

phase "idle (no flood, ${seconds} s)" idle
phase "WebSocket ping flood (${seconds} s)" ping "$PORT"
echo "   program's standard error meanwhile: $(grep -ci 'push\|websocket\|ping\|client\|remote' "$WORK/app.log" || true) lines on the remote control"
grep -i 'push\|websocket\|ping\|client\|remote' "$WORK/app.log" | sort | uniq -c | sort -rn | head -n 5 | sed 's/^/     /' || true
sleep 2 # the flood's leftovers drain
phase "idle again after the ping flood (${seconds} s)" idle
quit_discarding

# The Telnet flood: COM1 is the flooded line, so the unit is not on it.
TELNET=$(free_port)
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=rfc2217://127.0.0.1:$TELNET" "[Remote]" \
    "Port=$PORT" "Token=bench-token"
# The server first, so the program's first connection meets the flood (a refused one would
# raise a box); the samples start once the window is up and the program's id is written.
seconds=$telnet_seconds
FLOOD_READY="$WORK/telnet.ready" python3 "$WORK/flood.py" telnet "@$WORK/app.pid" "$seconds" \
    "$TELNET" >"$WORK/flood.telnet" &
flooder=$!
HELPERS+=($flooder)
wait_for 10 test -e "$WORK/telnet.ready" || fail "the Telnet flood server did not listen"
start_app
wait_main_window 60
wait_for 20 grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE" || fail "not listening"
echo "$APP_PID" >"$WORK/app.pid"
probe_status "$seconds" >"$WORK/probe.telnet" &
HELPERS+=($!)
wait "$flooder" || true
wait "${HELPERS[-1]}" || true
echo "== Telnet negotiation flood on COM1 (${seconds} s)"
sed 's/^/   /' "$WORK/flood.telnet" "$WORK/probe.telnet"
echo "   status at the end: $(curl -s -m 5 "${AUTH[@]}" "$BASE/status" | head -c 600)"
echo "   program's standard error about the line ($(grep -ci 'lost\|rfc2217\|telnet' "$WORK/app.log" || true) lines):"
grep -i 'lost\|rfc2217\|telnet' "$WORK/app.log" | sort | uniq -c | sort -rn | head -n 8 | sed 's/^/     /'
app_running || fail "the program ended during the Telnet flood"
quit_discarding
