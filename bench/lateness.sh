# How late the clock's ticks reach the virtual unit, for the benchmarks that load the program.
# Needs $WORK (the unit's log com1.log) and $unit_started (epoch ms just before the unit
# started), and the time stamp in the top-left corner.
# lateness FROM TO: how long after the second its stamp shows each tick began to arrive, for
# the stamps among bytes FROM to TO: count, median and worst in ms, seconds skipped. A small
# negative figure is the unit's start offset (a few ms), not a tick ahead of its second.
lateness() {
    sed -n "$1,$2p" "$WORK/com1.log" | perl -e '
        my $started = shift;
        my ($bytes, @times) = ("");
        while (<STDIN>) { my ($t, $h) = split; $bytes .= chr(hex($h)); push @times, $t + $started; }
        my (@late, $prev, $skips);
        while ($bytes =~ /\{C0000(\d\d):(\d\d):(\d\d)/g) {
            my $arrived = $times[pos($bytes) - 14];
            my $s = $1 * 3600 + $2 * 60 + $3;
            my @t = localtime(int($arrived / 1000));
            my $d = ($t[2] * 3600 + $t[1] * 60 + $t[0] - $s) % 86400;
            $d -= 86400 if $d > 43200;
            push @late, $d * 1000 + $arrived % 1000;
            $skips += ($s - $prev) % 86400 - 1 if defined $prev && ($s - $prev) % 86400 > 1;
            $prev = $s;
        }
        @late = sort { $a <=> $b } @late;
        printf "%d ticks, late median %d ms, worst %d ms, skipped %d s\n",
            scalar @late, $late[$#late / 2], $late[-1], $skips // 0;
    ' "$unit_started"
}
