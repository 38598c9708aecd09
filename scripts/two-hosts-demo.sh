#!/bin/sh
# Two copies of the program on two hosts (network namespaces joined by a veth pair), each on its
# own Xvfb display, driven with xdotool: A shows its addresses, B connects to A through its
# dialog, they play until X wins, A sends B a chat, B disconnects. The link has IPv4 addresses
# alone (10.77.0.1 and 10.77.0.2) or, with "6", IPv6 ones alone (fd77::1 and fd77::2).
# Screenshots of both screens go to the current folder. Needs root (ip netns), Xvfb, xdotool and
# ImageMagick's import.
#   sudo sh scripts/two-hosts-demo.sh [path/to/quillet] [4|6]
set -u
Q=$(realpath "${1:-build/quillet}")
FAMILY=${2:-4}
ip netns add qa; ip netns add qb
ip link add va type veth peer name vb
ip link set va netns qa; ip link set vb netns qb
if [ "$FAMILY" = 6 ]; then
  A_ADDRESS=fd77::1
  ip -n qa addr add fd77::1/64 dev va nodad; ip -n qb addr add fd77::2/64 dev vb nodad
else
  A_ADDRESS=10.77.0.1
  ip -n qa addr add 10.77.0.1/24 dev va; ip -n qb addr add 10.77.0.2/24 dev vb
fi
for n in qa qb; do ip -n $n link set lo up; done
ip -n qa link set va up; ip -n qb link set vb up
# Waits up to $1 tenths of a second for the command after it to succeed.
within() {
  tenths=$1; shift
  while ! "$@" >/dev/null 2>&1; do
    tenths=$((tenths - 1)); [ "$tenths" -gt 0 ] || return 1; sleep 0.1
  done
}
# -noreset: a server resets when its last client leaves (the probe below) and drops a client
# that connects in that instant, and the copy would end without a window.
Xvfb :61 -noreset -screen 0 800x700x24 >/dev/null 2>&1 & XA=$!
Xvfb :62 -noreset -screen 0 800x700x24 >/dev/null 2>&1 & XB=$!
for d in :61 :62; do within 100 env DISPLAY=$d xwininfo -root || echo "Xvfb $d does not answer"; done
ip netns exec qa env DISPLAY=:61 $Q & A=$!
ip netns exec qb env DISPLAY=:62 $Q & B=$!
for d in :61 :62; do
  within 150 sh -c "DISPLAY=$d xwininfo -root -tree | grep -q '\"Quillet 1.4\"'" ||
    echo "no window on $d"
done
click() { DISPLAY=$1 xdotool mousemove $2 $3 click 1; sleep 0.4; }
cell() { echo $((200 + $1 * 20 - 10)) $((220 + $2 * 20 - 10)); }
# A shows what B is to type: Internet > My addresses...
click :61 262 210
DISPLAY=:61 xdotool key Down Down Down Down Return; sleep 0.8
DISPLAY=:61 import -window root a-addresses.png
DISPLAY=:61 xdotool key Return; sleep 0.4
# B connects to A through its dialog.
DISPLAY=:62 xdotool mousemove 350 535 click 1 key ctrl+c; sleep 0.8
click :62 300 262
DISPLAY=:62 xdotool type --delay 50 "$A_ADDRESS"; sleep 0.3
click :62 385 262
sleep 1
# B is X and moves first; A is O.
for i in 1 2 3 4; do
  click :62 $(cell $i 1)
  click :61 $(cell $i 2)
done
click :62 $(cell 5 1)
sleep 0.8
DISPLAY=:61 import -window root a-win.png
DISPLAY=:62 import -window root b-win.png
DISPLAY=:61 xdotool key Return; DISPLAY=:62 xdotool key Return; sleep 0.6
# A chat from A to B.
DISPLAY=:61 xdotool mousemove 350 535 click 1 key ctrl+m; sleep 0.8
DISPLAY=:61 xdotool type --delay 30 "good game, 100%"; sleep 0.2
click :61 312 380
sleep 0.8
DISPLAY=:62 import -window root b-chat.png
# B disconnects; both go back to a local game.
DISPLAY=:62 xdotool mousemove 350 535 click 1 key ctrl+d; sleep 1
DISPLAY=:61 import -window root a-end.png
DISPLAY=:62 import -window root b-end.png
kill -TERM $A $B; wait $A; echo "A exit $?"; wait $B; echo "B exit $?"
# Gone before the script ends, so that a next run finds displays :61 and :62 free.
kill $XA $XB; wait $XA $XB
ip netns del qa; ip netns del qb
