#!/bin/sh
# Runs one test program in a network namespace (and mount namespace) of its own, with only its
# own loopback, so that tests on port 1777 run in parallel and never meet a program already
# running on the machine. Where no namespace can be made, the program runs on the machine's
# loopback (CMake then runs such tests one after another).
# GUI tests show their windows on Qt's offscreen platform.
export QT_QPA_PLATFORM=offscreen
# Not the user's session bus: a test's notifications would show on the desktop of whoever runs
# the tests. The desktop tests bring a bus of their own.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/quillet-tests-use-no-session-bus
# The system bus of the tests is one where nothing listens (an abstract socket, so each test's
# network namespace has its own), unless a test starts one: no copy under test announces itself
# on the machine's network or finds players there.
export DBUS_SYSTEM_BUS_ADDRESS=unix:abstract=quillet-test-bus
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$(dirname "$0")/lsan.supp}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$(dirname "$0")/tsan.supp}"
if [ -z "$QUILLET_TEST_NAMESPACE" ]; then
    if [ "$(id -u)" = 0 ]; then flags=-nm; else flags=-rnm; fi
    if unshare $flags true 2>/dev/null; then
        QUILLET_TEST_NAMESPACE=1 exec unshare $flags sh "$0" "$@"
    fi
    exec "$@"
fi
ip link set lo up || exit 1
export QUILLET_TEST_NAMESPACE
exec "$@"
