# Sourced by the test scripts: within N command... waits up to N tenths of a second for the
# command to succeed.
within() {
    tenths=$1
    shift
    while ! "$@" >/dev/null 2>&1; do
        tenths=$((tenths - 1))
        [ "$tenths" -gt 0 ] || return 1
        sleep 0.1
    done
}
