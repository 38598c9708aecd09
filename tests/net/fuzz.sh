#!/bin/sh
# Builds the libFuzzer target for the protocol's reader and runs it for a bounded time.
#   sh tests/net/fuzz.sh [build folder]   (default: build-fuzz in the repository)
# QUILLET_FUZZ_SECONDS sets the run time (default 60). Exits non-zero when the fuzzer finds a
# crash; the crashing input is left in the build folder.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-"$root/build-fuzz"}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Undefined behaviour must stop the run, not just print a warning.
clang++ -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -std=c++20 -g -O1 \
    -Wall -Wextra -I"$root" \
    "$root/net/Protocol.cpp" "$root/tests/net/ProtocolFuzz.cpp" -o "$out/protocol_fuzz"

# The fuzzer adds what it finds to its corpus: give it a copy so the repository's stays as is.
rm -rf "$out/corpus"
cp -R "$root/tests/net/corpus" "$out/corpus"

# Sequences of up to four reads of what one recv returns.
exec "$out/protocol_fuzz" -max_total_time="${QUILLET_FUZZ_SECONDS:-60}" -max_len=4104 \
    -artifact_prefix="$out/" "$out/corpus"
