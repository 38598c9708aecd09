#!/bin/sh
# The network of the router test: the calling namespace is the player's LAN (192.168.77.2), behind
# the router's namespace NAME-r (192.168.77.1 on the LAN, 10.88.0.1 outside), which does NAT with
# nftables, with the namespace NAME-w (10.88.0.2) outside it. Needs root.
#   router-net.sh up NAME       exits 2 when no namespace can be made here, 1 when a step fails
#   router-net.sh down NAME DIR ends the programs whose process ids are in DIR/*.pid, removes the
#                               namespaces and DIR
set -u
r=$2-r
w=$2-w
if [ "$1" = down ]; then
    for pid in "$3"/*.pid; do
        [ -f "$pid" ] && kill "$(cat "$pid")"
    done
    ip netns del "$r"
    ip netns del "$w"
    rm -rf "$3"
    exit 0
fi
ip netns add "$r" && ip netns add "$w" || exit 2
set -e
ip link add lan0 type veth peer name rlan netns "$r"
ip -n "$r" link add rwan type veth peer name wan0 netns "$w"
ip addr add 192.168.77.2/24 dev lan0
ip -n "$r" addr add 192.168.77.1/24 dev rlan
ip -n "$r" addr add 10.88.0.1/24 dev rwan
ip -n "$w" addr add 10.88.0.2/24 dev wan0
ip link set lan0 up
for link in lo rlan rwan; do ip -n "$r" link set "$link" up; done
for link in lo wan0; do ip -n "$w" link set "$link" up; done
ip route add default via 192.168.77.1
ip netns exec "$r" sysctl -qw net.ipv4.ip_forward=1
# The router's own NAT, out of the LAN: with it, its nat hooks stay when a mapping goes, and a
# game that came in through the mapping goes on.
ip netns exec "$r" nft 'add table ip nat; add chain ip nat postrouting { type nat hook postrouting priority srcnat; }; add rule ip nat postrouting oifname rwan masquerade'
