# The operator's page in a real browser (headless Chromium through chromedriver) against the
# real program, its cue list and the virtual unit: see ui_page.py for what is checked. This
# script starts the unit and the program and hands the browser the address, the tokens and
# where the window's Send button is.
source "$(dirname "$0")/lib.sh"

for tool in /usr/bin/chromium /usr/bin/chromedriver; do
    [ -x "$tool" ] || fail "$tool is missing: scripts/deps.sh installs it"
done

TOKEN="tok-$RANDOM$RANDOM"
VIEW_TOKEN="look-$RANDOM$RANDOM"
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
remote_listening() { grep -q " remote listening $PORT\$" "$TESSORA_READY_FILE"; }
loaded() { grep -q " cues loaded " "$TESSORA_READY_FILE" 2>/dev/null; }

{
    echo "Text,Date,Time,Note"
    echo "Good evening,,,opening"
    echo "Second cue,,,"
    printf '"Third cue\non two lines",,,\n'
    for i in 4 5 6 7 8; do echo "Cue number $i,,,"; done
} >"$WORK/show.csv"
CUE_TEXTS='["Good evening", "Second cue", "Third cue\non two lines", "Cue number 4",
            "Cue number 5", "Cue number 6", "Cue number 7", "Cue number 8"]'

UNIT_T0=$(date +%s%3N)
start_unit com1
# Each round takes a cue by tap and by curl and steps back, so a tap takes again the cue curl
# took a moment before: no repeat guard here.
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}" \
    "[Remote]" "Port=$PORT" "Token=$TOKEN" "ViewToken=$VIEW_TOKEN" "[Cues]" "RepeatGuardMs=0"
start_app --cues "$WORK/show.csv"
wait_main_window
wait_bytes com1 43
wait_for 20 remote_listening || fail "the program never said it listens on $PORT"
wait_for 20 loaded || fail "the cue list was not loaded"
# The cue window opens beside the main one; the main one is clicked for its tabs, Send and
# Open.
locate_window
AT_JSON=$(for name in btnSend btnOpen Screen1 Screen2; do
    read -r x y <<<"${AT[$name]}"
    echo "\"$name\": [$((WIN_X + x)), $((WIN_Y + y))]"
done | paste -sd, | sed 's/.*/{&}/')
echo "$APP_PID" >"$WORK/app.pid"

step "the page in Chromium"
rc=0
PORT=$PORT TOKEN=$TOKEN VIEW_TOKEN=$VIEW_TOKEN UNIT_LOG="$WORK/com1.log" UNIT_T0=$UNIT_T0 \
    ARTEFACTS=$ARTEFACTS CUE_TEXTS=$CUE_TEXTS APP_PID_FILE="$WORK/app.pid" \
    APP_LOG="$WORK/app.log" APP_COMMAND="$TESSORA_BIN"$'\x1f'--cues$'\x1f'"$WORK/show.csv" \
    AT_JSON=$AT_JSON \
    /usr/bin/python3 "$(dirname "$0")/ui_page.py" || rc=$?
# The program may have been started again by the browser's script.
APP_PID=$(cat "$WORK/app.pid")
[ "$rc" -eq 0 ] || fail "the page in the browser (above)"
echo "PASS"
