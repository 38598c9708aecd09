#!/bin/sh
# The program started on a display of its own shows its window, and quits cleanly with status 0
# on SIGTERM. Usage: StartupTest.sh path/to/quillet
set -u
program=$1
log=$(mktemp)
output=$(mktemp)
trap 'kill ${server:-} ${pid:-} 2>/dev/null; rm -f "$log" "$output" "${number:-}"' EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
within() {
    tenths=$1
    shift
    while ! "$@" >/dev/null 2>&1; do
        tenths=$((tenths - 1))
        [ "$tenths" -gt 0 ] || return 1
        sleep 0.1
    done
}

# The server picks a free display itself and writes its number once it is ready.
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 800x700x24 -nolisten tcp 3>"$number" >"$log" 2>&1 &
server=$!
within 100 test -s "$number" || { echo "Xvfb did not start"; cat "$log"; exit 1; }
export DISPLAY=:$(cat "$number")
rm -f "$number"
unset QT_QPA_PLATFORM
within 100 xwininfo -root || { echo "Xvfb does not answer"; cat "$log"; exit 1; }

"$program" >"$output" 2>&1 &
pid=$!
if ! within 150 sh -c 'xwininfo -root -tree | grep -q "\"Quillet 1.4\": (\"quillet\".*301x341"'; then
    echo "the window \"Quillet 1.4\" of 301 x 341 never showed"
    xwininfo -root -tree
    kill -0 "$pid" 2>/dev/null && echo "the program is still running" || echo "the program ended"
    echo "what it printed:"
    cat "$output"
    exit 1
fi
kill -TERM "$pid"
within 100 sh -c "! kill -0 $pid" || { echo "the program did not end on SIGTERM"; exit 1; }
wait "$pid"
status=$?
[ "$status" -eq 0 ] || { echo "exit status $status, not 0"; exit 1; }
echo "shown and quit cleanly"
