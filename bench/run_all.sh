#!/usr/bin/env bash
# Builds a release and takes every figure of docs/performance.md in one run on this machine:
# the benchmarks, then the real program under its own X server (start-up and memory, a
# full-screen Send, the whole program at rest, and the running clock over ten minutes).
#   bash bench/run_all.sh [clock seconds, default 600]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
clock_seconds=${1:-600}

"$root/scripts/deps.sh"
(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench)

echo "== machine"
echo "$(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB, $(uname -sr)"
echo "== serial: Write cost, delivery, first byte, idle CPU"
TESSORA_BENCH_CPU_SECONDS=30 "$build/bench/serial/bench_serial"
echo "== layout of a full screen"
"$build/bench/protocol/bench_protocol"
echo "== a cue take through a template, and refilling 10 000 rows"
"$build/bench/cues/bench_cues"
echo "== document save and load"
"$build/bench/document/bench_document"
echo "== a keystroke with the monitor open"
"$build/bench/monitor/bench_monitor"

# x SCRIPT [ARGS]: one of the measurement scripts against the release, on its own X server.
x() {
    local script=$1
    shift
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        bash "$script" "$build/app/tessora" "$build/tools/tessora-unit" "$@"
}
echo "== start-up and memory"
x "$root/bench/startup/startup_run.sh" 5 | grep -E '^run'
echo "== the whole program at rest: first look, memory, idle CPU over 60 s"
x "$root/bench/idle/idle_run.sh" 60 3 | grep -E '^run'
echo "== the same with the unit monitor open"
x "$root/bench/idle/idle_run.sh" 60 3 --monitor | grep -E '^run'
echo "== full-screen Send"
x "$root/bench/send/send_run.sh" 5 | grep -E '^run'
echo "== a cue take with Ctrl+Space beside a Send press, to the first byte"
x "$root/bench/send/take_run.sh" 20 | grep -E 'first byte'
echo "== remote control: Send to first byte beside a mouse press; status answers and ticks under load"
x "$root/bench/remote/remote_run.sh" 60 30 | grep -E '^(send|ticks|status)'
echo "== push channel: Send to on_air at a client; ticks with ten clients against none"
x "$root/bench/remote/push_run.sh" "$build/bench/remote/tessora_push_client" 30 | grep -E '^(send|ticks)'
echo "== OSC: Send to first byte beside an HTTP Send; ticks and CPU under a 10 000/s flood"
x "$root/bench/osc/osc_run.sh" 60 5 10000 | grep -E '^(send|ticks|flood|stderr)'
echo "== timed cues: hold and time-of-day accuracy; ticks with 1 000 timed cues against none"
x "$root/bench/cues/timed_run.sh" | grep -E 'accuracy|cues:'
echo "== running clock over $clock_seconds s"
x "$root/bench/clock/clock_run.sh" "$clock_seconds" | tail -n 1
