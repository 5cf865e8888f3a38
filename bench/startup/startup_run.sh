#!/usr/bin/env bash
# Start-up time to the first usable main page, and the memory of the program with all its
# processes, against a virtual unit (so the 1500 ms greeting is part of the start) and
# without a port (a message box first: answered at once).
#   xvfb-run -a bash bench/startup/startup_run.sh <tessora> <tessora-unit> [runs]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runs=${3:-5}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-startup}"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"

# The program's own word that it has taken up the main page (see TESSORA_READY_FILE).
page_ready() { grep -q ' ready res://[^/]*/104$' "$TESSORA_READY_FILE"; }
memory() {  # resident and proportional set of the program and its helper processes, in MiB
    local pids
    pids="$APP_PID $(pgrep -d ' ' -P "$APP_PID" || true)"
    for p in $(pgrep -d ' ' -P "$APP_PID" || true); do pids="$pids $(pgrep -d ' ' -P "$p" || true)"; done
    local rss=0 pss=0 p
    for p in $pids; do
        rss=$((rss + $(awk '/^Rss:/ {print $2}' "/proc/$p/smaps_rollup")))
        pss=$((pss + $(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup")))
    done
    echo "rss=$((rss / 1024))MiB pss=$((pss / 1024))MiB processes=$(echo $pids | wc -w)"
}

for run in $(seq 1 "$runs"); do
    started=$(date +%s%3N)
    start_app
    wait_for 60 page_ready || fail "no page"
    loaded=$(grep ' ready res://[^/]*/104$' "$TESSORA_READY_FILE" | head -n 1 | cut -d' ' -f1)
    wait_main_window
    sleep 3
    echo "run $run: start to first page $((loaded - started)) ms (greeting pause 1500 ms included); $(memory)"
    quit_discarding
done
