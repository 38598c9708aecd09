#!/bin/sh
# Installs whatever the build, the game, the tests and the Debian package with its checks need
# and is missing, from Debian's packages. Safe to run again: it installs nothing that is already
# there.
set -eu

packages="
build-essential
cmake
qt6-base-dev
qt6-base-private-dev
libgl-dev
libgtest-dev
libgmock-dev
libbenchmark-dev
clang
libclang-rt-14-dev
fonts-dejavu-core
xvfb
xauth
x11-utils
iproute2
util-linux
librsvg2-bin
dpkg-dev
file
desktop-file-utils
appstream
libminiupnpc-dev
libnatpmp-dev
miniupnpd
miniupnpd-nftables
nftables
python3
lintian
weston
qt6-wayland
dbus-daemon
pkg-config
libavahi-client-dev
avahi-daemon
dbus-bin
"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" = 0 ]; then
    as_root=""
else
    as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# miniupnpd is for the router tests, which run it in a namespace of their own: never as a
# service of this machine.
echo "miniupnpd miniupnpd/start_daemon boolean false" | $as_root debconf-set-selections
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root apt-get install -y -qq --no-install-recommends $missing
