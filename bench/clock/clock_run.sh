#!/usr/bin/env bash
# Measures the running clock on the caption unit: starts the program against a virtual unit
# under its own X server, puts the time stamp in the top-left corner, lets it run, then
# reports how many seconds the unit's clock skipped or showed twice.
#   xvfb-run -a bash bench/clock/clock_run.sh <tessora> <tessora-unit> <seconds>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${3:-600}
source "$here/../../tests/e2e/lib.sh" "$1" "$2" "${ARTEFACTS:-/tmp/tessora-clock}"

start_unit com1
settings "[General]" "CommPort=COM1" "[Ports]" "COM1=${UNIT_DEVICE[com1]}"
start_app
wait_main_window
choose cmbTime 1
# The corner change sends the screen with a stamp of its own; only the ticks are counted.
sleep 2.5
from=$(unit_byte_count com1)
step "running for $seconds s"
sleep "$seconds"
quit_discarding

# Every time stamp the unit received from the ticks.
tail -n +"$((from + 1))" "$WORK/com1.log" >"$WORK/ticks.log"
perl -e '
    my ($bytes, @times) = ("");
    while (<>) { my ($t, $h) = split; $bytes .= chr(hex($h)); push @times, $t; }
    my ($prev, $skips, $repeats, $count, %late) = (undef, 0, 0, 0);
    while ($bytes =~ /\{C0000(\d\d):(\d\d):(\d\d)/g) {
        my $s = $1 * 3600 + $2 * 60 + $3;
        my $arrived = $times[pos($bytes) - 1];
        ++$count;
        if (defined $prev) {
            my $d = ($s - $prev) % 86400;
            ++$repeats if $d == 0;
            $skips += $d - 1 if $d > 1;
        }
        $prev = $s;
    }
    print "stamps=$count skipped=$skips repeated=$repeats\n";
' "$WORK/ticks.log"
