#!/bin/sh
# The program starts on a Wayland compositor (a headless Weston) with Qt's Wayland platform, shows
# its window there, and quits with status 0 on SIGTERM.
# Usage: WaylandStartTest.sh path/to/quillet
set -u
program=$1
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'kill ${compositor:-} ${pid:-} 2>/dev/null; rm -rf "$runtime"' EXIT

. "$(dirname "$0")/within.sh"

# Whether the client's log shows its window mapped: its toplevel titled "Quillet ...", then a
# configure acknowledged, then a buffer attached to a surface (the program has no other window).
shown() {
    awk '/-> xdg_toplevel@[0-9]+\.set_title\("Quillet/ { titled = 1 }
         titled && /-> xdg_surface@[0-9]+\.ack_configure\(/ { acked = 1 }
         acked && /-> wl_surface@[0-9]+\.attach\(wl_buffer@/ { found = 1 }
         END { exit !found }' "$runtime/client.log"
}

XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=quillet --idle-time=0 \
    --width=1024 --height=720 --shell=kiosk-shell.so >"$runtime/weston.log" 2>&1 &
compositor=$!
within 100 test -S "$runtime/quillet" || { echo "Weston did not start"; cat "$runtime/weston.log"; exit 1; }

env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=quillet QT_QPA_PLATFORM=wayland \
    WAYLAND_DEBUG=client "$program" >"$runtime/client.log" 2>&1 &
pid=$!
shown_or_ended() {
    shown || ! kill -0 "$pid" 2>/dev/null
}
if ! within 150 shown_or_ended || ! shown; then
    echo "the window \"Quillet\" never showed on Wayland"
    if kill -0 "$pid" 2>/dev/null; then
        echo "the program is still running"
    else
        wait "$pid"
        echo "the program ended with status $?"
    fi
    grep -v '^\[' "$runtime/client.log"
    exit 1
fi
kill -TERM "$pid"
within 100 sh -c "! kill -0 $pid" || { echo "the program did not end on SIGTERM"; exit 1; }
wait "$pid"
status=$?
[ "$status" -eq 0 ] || { echo "exit status $status, not 0"; grep -v '^\[' "$runtime/client.log"; exit 1; }
echo "shown on Wayland and quit cleanly"
