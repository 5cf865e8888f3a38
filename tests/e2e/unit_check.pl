# Checks what a virtual caption unit received and what it shows, for the end-to-end tests.
#
#   perl unit_check.pl writes LOG FROM ITEM...
#     The bytes in LOG (the unit's byte log) after its first FROM bytes must be exactly the
#     expected bursts, in order, with clock ticks only before, between and after them. ITEMs:
#       B:TEMPLATE     a burst: the writes one command makes in one go (a Send, a Clear, the
#                      greeting), so no tick can fall inside it
#       T:TEMPLATE|... from here on a tick is any one of these (no tick at all when empty);
#                      several T: items in a row follow one another: once a tick of a later
#                      one has come, ticks of an earlier one may not
#       M:N            at least N ticks must have come
#     In a TEMPLATE "#" stands for any digit; every other byte stands for itself.
#     Exit 0 when everything expected has come: prints "<log bytes accounted for> <ticks>", a
#     tick still arriving at the end being left for the next check. Exit 2 while what has come is
#     the start of what is expected; exit 1 on anything else. Both say why on stderr.
#
#   perl unit_check.pl display DUMP ROW:COL:TEXT...
#     The display in DUMP (19 rows of 52 characters, UTF-8) shows exactly these texts ("#"
#     any digit) and nothing anywhere else. Exit 1, showing both pictures, if not.
use strict;
use warnings;

my $ROWS = 19;
my $COLS = 52;

sub visible {
    my $s = shift;
    $s =~ s/([^\x20-\x7e])/sprintf('\\x%02x', ord $1)/ge;
    return $s;
}

sub check_writes {
    my ($log, $from, @items) = @_;
    open my $in, '<', $log or die "cannot read $log: $!\n";
    my $bytes = '';
    while (<$in>) {
        my (undef, $hex) = split;
        $bytes .= chr hex $hex if defined $hex;
    }
    close $in;
    $bytes = substr $bytes, $from;

    # Boundary k lies before burst k; each boundary holds its tick phases in order.
    my @bursts;
    my @phases = ([]);
    my $in_effect = [];
    my $min_ticks = 0;
    for my $item (@items) {
        my ($kind, $what) = $item =~ /^([BTM]):(.*)$/s or die "bad item [$item]\n";
        if ($kind eq 'T') {
            $in_effect = [grep { length } split /\|/, $what];
            push @{$phases[-1]}, $in_effect;
        } elsif ($kind eq 'B') {
            push @{$phases[-1]}, $in_effect unless @{$phases[-1]};
            push @bursts, $what;
            push @phases, [];
        } else {
            $min_ticks = $what;
        }
    }
    push @{$phases[-1]}, $in_effect unless @{$phases[-1]};

    # 2: the whole template is at P; 1: the bytes end inside it; 0: something else is there.
    my $at = sub {
        my ($template, $p) = @_;
        for my $i (0 .. length($template) - 1) {
            return 1 if $p + $i >= length $bytes;
            my $want = substr $template, $i, 1;
            my $got = substr $bytes, $p + $i, 1;
            return 0 unless $want eq '#' ? $got =~ /[0-9]/ : $got eq $want;
        }
        return 2;
    };
    my $expected = sub {
        my ($b, $phase) = @_;
        my @ticks = map { @$_ } @{$phases[$b]}[$phase .. $#{$phases[$b]}];
        my $what = $b < @bursts ? "[" . visible($bursts[$b]) . "]" : "nothing more";
        return "$what" . (@ticks ? " or a tick [" . join('] or [', map { visible($_) } @ticks) . "]" : "");
    };

    my ($p, $b, $phase, $ticks) = (0, 0, 0, 0);
    while (1) {
        my $partial = 0;
        if ($b < @bursts) {
            my $r = $at->($bursts[$b], $p);
            if ($r == 2) {
                $p += length $bursts[$b];
                ($b, $phase) = ($b + 1, 0);
                next;
            }
            $partial ||= $r == 1;
        }
        my $ticked = 0;
        PHASE: for my $j ($phase .. $#{$phases[$b]}) {
            for my $tick (@{$phases[$b][$j]}) {
                my $r = $at->($tick, $p);
                if ($r == 2) {
                    $p += length $tick;
                    ($phase, $ticked) = ($j, 1);
                    ++$ticks;
                    last PHASE;
                }
                $partial ||= $r == 1;
            }
        }
        next if $ticked;
        my $done = $b == @bursts && $ticks >= $min_ticks;
        if ($p == length($bytes) || $partial) {
            if ($done) {
                print $from + $p, " $ticks\n";
                exit 0;
            }
            print STDERR "waiting at byte ", $from + $p + 1, " for ", $expected->($b, $phase),
                ($ticks < $min_ticks ? "; $ticks of $min_ticks ticks so far" : ""),
                "; received since byte ", $from + 1, ": [", visible($bytes), "]\n";
            exit 2;
        }
        print STDERR "unexpected at byte ", $from + $p + 1, ": [", visible(substr $bytes, $p),
            "], expected ", $expected->($b, $phase), "; received since byte ", $from + 1,
            ": [", visible($bytes), "]\n";
        exit 1;
    }
}

sub check_display {
    my ($dump, @texts) = @_;
    open my $in, '<:utf8', $dump or die "cannot read $dump: $!\n";
    my @shown = map { chomp; $_ } <$in>;
    close $in;
    my @want = (' ' x $COLS) x $ROWS;
    for my $text (@texts) {
        utf8::decode($text);
        my ($row, $col, $what) = $text =~ /^(\d+):(\d+):(.*)$/s or die "bad text [$text]\n";
        substr($want[$row], $col, length $what) = $what;
    }
    my $same = @shown == $ROWS;
    for my $r (0 .. $ROWS - 1) {
        last unless $same;
        my $got = $shown[$r];
        $same = length($got) == $COLS;
        for my $c (0 .. $COLS - 1) {
            last unless $same;
            my ($w, $g) = (substr($want[$r], $c, 1), substr($got, $c, 1));
            $same = $w eq '#' ? $g =~ /[0-9]/ : $g eq $w;
        }
    }
    exit 0 if $same;
    binmode STDERR, ':utf8';
    print STDERR "the display shows:\n", map({ "    |$_|\n" } @shown), "but should show:\n",
        map({ "    |$_|\n" } @want);
    exit 1;
}

my $mode = shift @ARGV // '';
check_writes(@ARGV) if $mode eq 'writes';
check_display(@ARGV) if $mode eq 'display';
die "usage: unit_check.pl writes LOG FROM ITEM... | display DUMP ROW:COL:TEXT...\n";
