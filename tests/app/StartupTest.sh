#!/bin/sh
# The program started on a display of its own maps its window, and quits cleanly with status 0
# on SIGTERM; three times in a row, each start right after the last copy left the display.
# Usage: StartupTest.sh path/to/quillet
set -u
program=$1
starts=3
log=$(mktemp)
output=$(mktemp)
trap 'kill ${server:-} ${pid:-} 2>/dev/null; rm -f "$log" "$output" "${number:-}"' EXIT

. "$(dirname "$0")/within.sh"

# The id of the window "Quillet 1.4" of 301 x 341; fails while there is none.
window_id() {
    xwininfo -root -tree | awk '/"Quillet 1.4": \("quillet".* 301x341/ { print $1; found = 1 }
                               END { exit !found }'
}

# Whether that window is mapped (xwininfo without a window to name would wait for a click).
mapped() {
    id=$(window_id) || return 1
    xwininfo -id "$id" | grep -q "Map State: IsViewable"
}

# No use waiting for the window of a program that has ended.
mapped_or_ended() {
    mapped || ! kill -0 "$pid" 2>/dev/null
}

# The server picks a free display itself and writes its number once it is ready. -noreset: an X
# server otherwise resets whenever its last client leaves, and drops a client that connects in
# that instant. Every probe below is such a last client, and so is each copy of the program as it
# quits: a copy starting then could not open the display, and would end without a window.
number=$(mktemp)
Xvfb -displayfd 3 -noreset -screen 0 800x700x24 -nolisten tcp 3>"$number" >"$log" 2>&1 &
server=$!
within 100 test -s "$number" || { echo "Xvfb did not start"; cat "$log"; exit 1; }
export DISPLAY=:$(cat "$number")
rm -f "$number"
unset QT_QPA_PLATFORM
within 100 xwininfo -root || { echo "Xvfb does not answer"; cat "$log"; exit 1; }

# A reset clears the root window's properties: one set by a client that has left is still there
# only on a display that did not reset. (Whether a start meets a reset is a matter of timing;
# whether the display resets is not.)
xprop -root -f QUILLET_STARTUP 8s -set QUILLET_STARTUP kept
if ! xprop -root QUILLET_STARTUP 2>&1 | grep -q '"kept"'; then
    echo "the display reset when its last client left: a program starting then cannot open it"
    exit 1
fi

start=1
while [ "$start" -le "$starts" ]; do
    "$program" >"$output" 2>&1 &
    pid=$!
    if ! within 150 mapped_or_ended || ! mapped; then
        echo "start $start: the window \"Quillet 1.4\" of 301 x 341 never showed"
        xwininfo -root -tree
        if kill -0 "$pid" 2>/dev/null; then
            echo "the program is still running"
        else
            wait "$pid"
            echo "the program ended with status $?"
        fi
        echo "what it printed:"
        cat "$output"
        exit 1
    fi
    kill -TERM "$pid"
    within 100 sh -c "! kill -0 $pid" ||
        { echo "start $start: the program did not end on SIGTERM"; exit 1; }
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || { echo "start $start: exit status $status, not 0"; exit 1; }
    start=$((start + 1))
done
echo "shown and quit cleanly, $starts times"
