# The Setup dialog's controls and the steps that operate it, for the end-to-end tests.
# Sourced after lib.sh.

MAIN_WIN=
MAIN_X=0
MAIN_Y=0
SETUP_WIN=

# Where the setup page's controls are (centres, page coordinates), and the status box.
declare -A SETUP_AT=([cmbPort]="203 81" [cmbFormat]="203 161" [btnOK]="360 204")
STATUS_BOX="156x18+123+106"
PORT_BOX="36x10+129+76"
FORMAT_BOX="36x10+129+156"

STAMP='\{C0000\d\d/\d\d/\d\d'

setup_up() { window_of_width 426 --name '^Dialog$' && SETUP_WIN=$FOUND; }
setup_gone() { ! setup_up; }

# grab NAME BOX: a picture of part of the setup page (BOX is WxH+X+Y in page coordinates).
grab() {
    local size=${2%%+*} offset=${2#*+}
    local x=${offset%%+*} y=${offset#*+}
    import -window root -crop "${size}+$((WIN_X + x))+$((WIN_Y + y))" +repage "$WORK/$1.png"
}
same_picture() { compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>/dev/null; }
# Text has been drawn in the box: more than the box's own colour.
drawn() { grab "$1" "$2" && [ "$(identify -format '%k' "$WORK/$1.png")" -gt 2 ]; }
changed_from() { grab "$1" "$2" && ! same_picture "$1" "$3"; }

# open_setup LABEL|BUTTON: opens the dialog from the main page and waits for its page.
open_setup() {
    local before
    before=$(ready_count 103)
    press "$1"
    wait_for 20 setup_ready "$before" || fail "setup dialog did not open from $1"
    WIN=$SETUP_WIN
    locate_window
    wait_for 20 drawn status-now "$STATUS_BOX" || fail "setup page shows no status"
}
setup_ready() { [ "$(ready_count 103)" -gt "$1" ] && setup_up; }

# choose_in_setup LIST INDEX: picks an option as an operator would.
choose_in_setup() {
    click ${SETUP_AT[$1]}
    key Home
    local i
    for ((i = 0; i < $2; ++i)); do key Down; done
    key Return
    sleep 0.5
}

# The setup dialog is gone and the main window has its page back under the pointer.
back_to_main() {
    wait_for 10 setup_gone || fail "setup dialog still open"
    WIN=$MAIN_WIN
    WIN_X=$MAIN_X
    WIN_Y=$MAIN_Y
}

# The program has the device of unit NAME open.
holds() { ls -l "/proc/$APP_PID/fd" 2>/dev/null | grep -q -- "-> ${UNIT_DEVICE[$1]}\$"; }

# Waits for the greeting after byte FROM of unit NAME, then for two clock stamps after it.
expect_greeting_then_clock() {
    local name=$1 from=$2
    wait_bytes "$name" $((from + 43 + 28)) 20
    unit_bytes_from "$name" $((from + 1)) |
        perl -e 'local $/; my $b = <STDIN>; my ($g, $s) = @ARGV;
                 exit($b =~ /^\Q$g\E\{A19(?:$s){2,}$/ ? 0 : 1)' "$GREETING" "$STAMP" ||
        fail "unit $name after byte $from got: $(unit_bytes_from "$name" $((from + 1)) | cat -v)"
}

# Unit NAME gets nothing more than COUNT bytes for a while.
expect_quiet() {
    sleep "${3:-2.5}"
    expect_eq "$(unit_byte_count "$1")" "$2" "bytes at unit $1"
}
