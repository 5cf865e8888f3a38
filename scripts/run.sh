#!/usr/bin/env bash
# Runs Tessora. With no caption unit configured, it starts the virtual caption unit on a
# pseudo-terminal, points COM1 at it in a demo settings profile inside the build folder, and
# shows the unit's display in this terminal.
#
#   scripts/run.sh           virtual unit unless your settings map a port (see README)
#   scripts/run.sh --demo    always the virtual unit
#   scripts/run.sh --real    always your own settings and real ports
#   scripts/run.sh [--demo|--real] [tessora's own arguments, e.g. --monitor show.tso]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
mode=auto
case "${1:-}" in
    --demo) mode=demo && shift ;;
    --real) mode=real && shift ;;
esac
# Whatever follows goes to the program: a screen set to open, --monitor.

"$root/scripts/deps.sh"
cd "$root"
[ -f "$build/build.ninja" ] || cmake --preset release >/dev/null
cmake --build --preset release >/dev/null

[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

user_settings="${XDG_CONFIG_HOME:-$HOME/.config}/Halvercrest/Tessora.conf"
if [ "$mode" = auto ]; then
    mode=demo
    grep -q '^\[Ports\]' "$user_settings" 2>/dev/null && mode=real
fi
if [ "$mode" = real ]; then
    exec "$build/app/tessora" "$@"
fi

# The demo profile keeps its own settings (mini window place, chosen port) between runs;
# only COM1's device changes, since each run gets a new pseudo-terminal.
demo_home="$build/demo-config"
demo_settings="$demo_home/Halvercrest/Tessora.conf"
mkdir -p "$(dirname "$demo_settings")"

# The unit draws its display only on a terminal: `script` gives it one, and its output is
# passed on to this terminal once the first line (the device path) has been read.
coproc UNIT { exec script -qfec "$build/tools/tessora-unit" /dev/null; }
unit_pid=$UNIT_PID
trap 'kill "$unit_pid" 2>/dev/null || true' EXIT
exec 3<&"${UNIT[0]}"
read -r device <&3
device=${device%$'\r'}
cat <&3 &

{
    [ -f "$demo_settings" ] && awk '/^\[Ports\]/{skip=1; next} /^\[/{skip=0} !skip' "$demo_settings"
    printf '\n[Ports]\nCOM1=%s\n' "$device"
} > "$demo_settings.new"
grep -q '^CommPort=' "$demo_settings.new" || sed -i '1i [General]\nCommPort=COM1' "$demo_settings.new"
mv "$demo_settings.new" "$demo_settings"

echo "Virtual caption unit on $device (COM1). Close Tessora to stop." >&2
# The browser engine's messages would scroll the unit's display away: they go to a log.
XDG_CONFIG_HOME="$demo_home" "$build/app/tessora" "$@" >"$build/tessora.log" 2>&1
