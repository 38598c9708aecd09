#!/bin/sh
# The small network of the nearby players' test: two network namespaces, PREFIX-a (10.77.0.1)
# and PREFIX-b (10.77.0.2), joined by a veth pair, each with a system bus of its own (dbus-daemon
# at $DBUS_SYSTEM_BUS_ADDRESS, an abstract socket, which each namespace has its own of) and an
# avahi-daemon of its own on it, under a host name of its own (quillet-a, quillet-b). The daemons'
# process ids and logs go to DIR. Needs root.
#   lan.sh up PREFIX DIR     exits non-zero, saying why, when the network cannot be made
#   lan.sh down PREFIX DIR   ends the daemons and removes the namespaces
set -u
here=$(cd "$(dirname "$0")" && pwd)
prefix=$2
dir=$3

. "$here/../../app/within.sh"

if [ "$1" = down ]; then
    for pid in "$dir"/*.pid; do
        [ -f "$pid" ] && kill "$(cat "$pid")" 2>/dev/null
    done
    # A daemon is done once it is gone or a zombie: init reaps the orphans, in its own time.
    for pid in "$dir"/*.pid; do
        [ -f "$pid" ] && within 50 sh -c "! kill -0 $(cat "$pid") || grep -q zombie /proc/$(cat "$pid")/status"
        rm -f "$pid"
    done
    ip netns del "$prefix-a" 2>/dev/null
    ip netns del "$prefix-b" 2>/dev/null
    exit 0
fi

for tool in ip dbus-daemon dbus-send avahi-daemon; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; exit 1; }
done
ip netns add "$prefix-a" && ip netns add "$prefix-b" || { echo "cannot make namespaces"; exit 1; }
ip link add quillet0 netns "$prefix-a" type veth peer name quillet0 netns "$prefix-b" ||
    { echo "cannot make a veth pair"; exit 1; }
number=1
for side in a b; do
    ns=$prefix-$side
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add 10.77.0.$number/24 dev quillet0
    ip -n "$ns" link set quillet0 up
    number=2
    ip netns exec "$ns" dbus-daemon --nofork --config-file="$here/bus.conf" \
        --address="$DBUS_SYSTEM_BUS_ADDRESS" >"$dir/bus-$side.log" 2>&1 &
    echo $! >"$dir/bus-$side.pid"
    within 100 ip netns exec "$ns" dbus-send --system --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.GetId ||
        { echo "the bus of $ns does not answer"; cat "$dir/bus-$side.log"; exit 1; }
    # A /run of its own: the daemon's pid file and socket are at fixed places there.
    ip netns exec "$ns" unshare -u sh -c "hostname quillet-$side && mount -t tmpfs none /run &&
        exec avahi-daemon -f '$here/avahi-daemon.conf' --no-drop-root --no-chroot --no-rlimits \
        --no-proc-title" >"$dir/avahi-$side.log" 2>&1 &
    echo $! >"$dir/avahi-$side.pid"
done
for side in a b; do
    within 100 grep -q "Server startup complete" "$dir/avahi-$side.log" ||
        { echo "avahi-daemon in $prefix-$side did not start"; cat "$dir/avahi-$side.log"; exit 1; }
done
