#!/bin/sh
# Runs a test program on a desktop of its own: an X display (Xvfb), where windows gain and lose the
# focus and carry urgency hints as on a desktop (Qt's offscreen platform activates every window it
# shows and has no urgency hint), and a private session bus for desktop notifications.
# Usage: desktop-session.sh program [arguments...]
set -u
number=$(mktemp)
log=$(mktemp)
trap 'kill ${server:-} 2>/dev/null; rm -f "$number" "$log"' EXIT
# -noreset: see StartupTest.sh.
Xvfb -displayfd 3 -noreset -screen 0 1024x720x24 -nolisten tcp 3>"$number" >"$log" 2>&1 &
server=$!
tenths=100
while [ ! -s "$number" ]; do
    tenths=$((tenths - 1))
    [ "$tenths" -gt 0 ] || { echo "Xvfb did not start"; cat "$log"; exit 1; }
    sleep 0.1
done
export DISPLAY=":$(cat "$number")"
export QT_QPA_PLATFORM=xcb
dbus-run-session -- "$@"
