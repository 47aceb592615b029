#!/bin/sh
# Runs the libFuzzer targets: sh scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Each target starts from its committed seeds (fuzz/corpus/<name>/), the
# pictures fuzz_seeds makes for the decoders (build/fuzz/seeds/<name>/), plus what
# earlier runs found (build/fuzz/corpus/<name>/), runs for SECONDS (default
# 20) and fails on any crash, leak, hang or sanitizer report; the input that
# caused it is kept in build/fuzz/artifacts/. With no TARGET, all of them.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-20}
[ $# -gt 0 ] && shift

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

targets="$*"
if [ -z "$targets" ]; then
    targets=$(cd build/fuzz/fuzz && ls fuzz_* | grep -v '^fuzz_seeds$' | sed 's/^fuzz_//')
fi
# Small valid pictures of every form the tests make, for the decoders.
rm -rf build/fuzz/seeds
build/fuzz/fuzz/fuzz_seeds build/fuzz/seeds

mkdir -p build/fuzz/artifacts
status=0
for name in $targets; do
    corpus="$root/build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    # The targets may log through the program's error log: keep that in a
    # scratch directory of their own.
    scratch=$(mktemp -d)
    seeds="$root/fuzz/corpus/$name"
    [ -d "$seeds" ] || seeds=""
    [ -d "$root/build/fuzz/seeds/$name" ] && seeds="$seeds $root/build/fuzz/seeds/$name"
    echo "fuzz_$name: ${seconds}s"
    if ! (cd "$scratch" && "$root/build/fuzz/fuzz/fuzz_$name" \
            -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
            -artifact_prefix="$root/build/fuzz/artifacts/$name-" \
            "$corpus" $seeds 2>"$root/build/fuzz/$name.log"); then
        echo "fuzz_$name FAILED; see build/fuzz/$name.log"
        tail -40 "$root/build/fuzz/$name.log"
        status=1
    else
        grep -E "stat::number_of_executed_units|cov:" "$root/build/fuzz/$name.log" | tail -2
    fi
    rm -rf "$scratch"
done
exit $status
