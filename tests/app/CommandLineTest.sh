#!/bin/sh
# The program's command line, with no display at all: --help and --version (and -h, -v) print
# their text on standard output and exit with 0; --engine answers the engine protocol on
# standard output and exits with 0 after END, and goes alone; an unknown option, one of Qt's own or an
# argument is one line on standard error and status 2; with nothing on the command line the
# program goes on to start (and, with no display or one it cannot reach, says so in one line and
# exits with 1).
# Usage: CommandLineTest.sh path/to/quillet version
set -u
program=$1
version=$2
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failures=0

# expect STATUS ARGUMENTS...: runs the program (bounded in time, in case it starts the game
# instead of answering) and checks its exit status.
expect() {
    want=$1
    shift
    timeout 10 "$program" "$@" >"$out" 2>"$err"
    status=$?
    if [ "$status" -ne "$want" ]; then
        echo "quillet $*: exit status $status, not $want"
        cat "$out" "$err"
        failures=$((failures + 1))
        return 1
    fi
}

# lines FILE COUNT WHAT ARGUMENTS...: FILE holds COUNT lines.
lines() {
    file=$1
    count=$2
    what=$3
    shift 3
    if [ "$(wc -l <"$file")" -ne "$count" ]; then
        echo "quillet $*: $what has $(wc -l <"$file") lines, not $count:"
        cat "$file"
        failures=$((failures + 1))
    fi
}

for option in --version -v; do
    if expect 0 "$option"; then
        [ "$(cat "$out")" = "quillet $version" ] ||
            { echo "quillet $option printed \"$(cat "$out")\""; failures=$((failures + 1)); }
        lines "$err" 0 "standard error" "$option"
    fi
done

for option in --help -h; do
    if expect 0 "$option"; then
        if ! head -n 1 "$out" | grep -q "^Usage: quillet" || ! grep -q -- "--version" "$out"; then
            echo "quillet $option printed:"
            cat "$out"
            failures=$((failures + 1))
        fi
        lines "$err" 0 "standard error" "$option"
    fi
done

for option in --help -h; do
    timeout 10 "$program" "$option" | grep -q -- "--engine" ||
        { echo "quillet $option does not list --engine"; failures=$((failures + 1)); }
done

printf 'START 15\r\nABOUT\r\nBEGIN\r\nEND\r\n' | timeout 20 "$program" --engine >"$out" 2>"$err"
status=$?
if [ "$status" -ne 0 ] || [ "$(sed -n 1p "$out")" != "OK" ] ||
    ! sed -n 2p "$out" | grep -q '^name="Quillet"' || [ "$(sed -n 3p "$out")" != "7,7" ]; then
    echo "quillet --engine: exit status $status, answered:"
    cat "$out" "$err"
    failures=$((failures + 1))
fi
lines "$out" 3 "standard output" --engine
lines "$err" 0 "standard error" --engine

for arguments in "--bogus" "-x" "-platform offscreen" "--help-all" "somehost" "--version extra" \
    "--engine extra" "--version --engine"; do
    # shellcheck disable=SC2086
    if expect 2 $arguments; then
        lines "$out" 0 "standard output" $arguments
        lines "$err" 1 "standard error" $arguments
    fi
done

if expect 1; then
    grep -q "No display" "$err" ||
        { echo "quillet: said \"$(cat "$err")\""; failures=$((failures + 1)); }
fi

# A display that is not there: the line says which display could not be reached, not only that
# no platform plugin could start.
export DISPLAY=:65000
if expect 1; then
    grep -q "^No display to show the window on: .*:65000" "$err" ||
        { echo "quillet on DISPLAY=:65000: said \"$(cat "$err")\""; failures=$((failures + 1)); }
    lines "$err" 1 "standard error" "on DISPLAY=:65000"
fi
unset DISPLAY

[ "$failures" -eq 0 ] || exit 1
echo "the command line answers as it should"
