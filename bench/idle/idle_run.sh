#!/usr/bin/env bash
# The whole running program at rest: the program and every browser-engine process it started.
# Starts it against a virtual unit on COM1 (so the stamp timer runs), puts the time stamp in
# the top-left corner, puts the caret back in the text box, and reports
#   - start to the usable main page (the program's own "ready" line), and whether the window
#     ever showed before its page: the first look at the window must already show the page;
#   - memory (RSS and PSS, summed over the processes) 5 s after the window appears;
#   - CPU over the next <seconds> (utime + stime from /proc, all processes), in % of one core;
#   - the program's own CPU over the same time to the nanosecond (schedstat of each of its
#     threads), and of that its serial workers'.
#   xvfb-run -a bash bench/idle/idle_run.sh <tessora> <tessora-unit> [seconds, 60] [runs, 1]
#       [program arguments, e.g. --monitor]
# IDLE_SETTLE (seconds, default 2) is the wait after the click into the text box; from 11 on
# the caret has stopped blinking when the measurement starts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${3:-60}
runs=${4:-1}
app_args=("${@:5}")
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-idle}"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"

# The program and its descendants, however deep (the engine's zygote forks the renderers).
tree() {
    local all="$APP_PID" next="$APP_PID" p children
    while [ -n "$next" ]; do
        children=
        for p in $next; do children="$children $(pgrep -d ' ' -P "$p" || true)"; done
        next=$(echo $children)
        [ -n "$next" ] && all="$all $next"
    done
    echo "$all"
}
# What a process is: the program, or the engine's --type= of it.
kind() {
    [ "$1" = "$APP_PID" ] && { echo program; return; }
    tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -o -- '--type=[a-z-]*' | head -n 1 | cut -c8-
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
# Nanoseconds on a processor of the program's threads whose name matches a pattern (all: .).
program_ns() {
    local t total=0
    for t in /proc/"$APP_PID"/task/*; do
        grep -q -- "$1" "$t/comm" 2>/dev/null || continue
        total=$((total + $(cut -d' ' -f1 "$t/schedstat" 2>/dev/null || echo 0)))
    done
    echo "$total"
}
memory() {
    local rss=0 pss=0 p r s detail=
    for p in $(tree); do
        r=$(awk '/^Rss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
        s=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
        rss=$((rss + r))
        pss=$((pss + s))
        detail="$detail $(kind "$p"):$((s / 1024))"
    done
    # Another program on the same libraries takes a share of their pages: say so.
    local others
    others=$(pgrep -x -d ' ' tessora | tr ' ' '\n' | grep -vcx "$APP_PID" || true)
    echo "rss=$((rss / 1024))MiB pss=$((pss / 1024))MiB processes=$(tree | wc -w)" \
        "(pss MiB:$detail; other tessora programs running: $others)"
}
# Any pixel of the window's client area that is not white: a page, not a blank frame.
shows_page() {
    import -window "$1" "$WORK/first.png" 2>/dev/null || return 1
    [ "$(convert "$WORK/first.png" -fill black +opaque white -format '%[fx:mean<1]' info:)" = 1 ]
}
# The program's window as soon as it is mapped, however early (no page needed yet).
window_mapped() { window_of_width 650 --pid "$APP_PID" && WIN=$FOUND; }

hz=$(getconf CLK_TCK)
for run in $(seq 1 "$runs"); do
    started=$(date +%s%3N)
    start_app "${app_args[@]}"
    deadline=$((SECONDS + 60))
    until window_mapped; do  # closer than wait_for's tenth of a second
        [ $SECONDS -lt $deadline ] || fail "no window"
        sleep 0.02
    done
    mapped=$(date +%s%3N)
    first_look=blank
    shows_page "$WIN" && first_look=page
    wait_main_window
    loaded=$(grep ' ready res://[^/]*/104$' "$TESSORA_READY_FILE" | head -n 1 | cut -d' ' -f1)
    sleep 5
    mem=$(memory)
    choose cmbTime 1
    press scrText
    sleep "${IDLE_SETTLE:-2}"
    declare -A before=()
    for p in $(tree); do before[$p]=$(ticks "$p"); done
    own0=$(program_ns .)
    serial0=$(program_ns '^tessora-\(reader\|writer\)$')
    t0=$(date +%s%3N)
    sleep "$seconds"
    t1=$(date +%s%3N)
    own=$(awk -v n=$(($(program_ns .) - own0)) -v ms=$((t1 - t0)) 'BEGIN {printf "%.3f", n / 1e4 / ms}')
    serial=$(awk -v n=$(($(program_ns '^tessora-\(reader\|writer\)$') - serial0)) -v ms=$((t1 - t0)) \
        'BEGIN {printf "%.3f", n / 1e4 / ms}')
    total=0 detail=
    for p in $(tree); do
        used=$(($(ticks "$p") - ${before[$p]:-0}))
        total=$((total + used))
        detail="$detail $(kind "$p"):$(awk -v u="$used" -v hz="$hz" -v ms=$((t1 - t0)) \
            'BEGIN {printf "%.2f", 100 * u / hz / (ms / 1000)}')"
    done
    cpu=$(awk -v u="$total" -v hz="$hz" -v ms=$((t1 - t0)) \
        'BEGIN {printf "%.2f", 100 * u / hz / (ms / 1000)}')
    screenshot "idle-main-$run" >/dev/null
    echo "run $run: start to usable page $((loaded - started)) ms (greeting pause 1500 ms" \
        "included); window mapped $((mapped - loaded)) ms after the page; first look: $first_look;" \
        "$mem; idle cpu over ${seconds}s ${cpu}% of one core (%:$detail);" \
        "the program's own ${own}%, of which its serial workers ${serial}%"
    quit_discarding
done
