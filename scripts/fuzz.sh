#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz in build/fuzz (clang, address and
# undefined-behaviour sanitizers) and runs each for SECONDS (default 8):
#
#     scripts/fuzz.sh          # the short run scripts/test.sh makes
#     scripts/fuzz.sh 600      # ten minutes per target
#     scripts/fuzz.sh 60 fuzz_command_line   # one target
#
# Each target starts from its committed seeds in tests/fuzz/corpus/<target>/;
# what it learns accumulates in build/fuzz/corpus/<target>/ and is used by the
# next run. An input that breaks a target is kept in build/fuzz/crashes/ and
# the script fails; replay it with: build/fuzz/tests/fuzz/<target> <file>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-8}
shift || true
source "$root/scripts/builds.sh"
configure_and_build fuzz

bin="$root/build/fuzz/tests/fuzz"
if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in "$root"/tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

mkdir -p "$root/build/fuzz/crashes"
status=0
for target in "${targets[@]}"; do
    corpus="$root/build/fuzz/corpus/$target"
    seeds="$root/tests/fuzz/corpus/$target"
    mkdir -p "$corpus" "$seeds"
    log="$root/build/fuzz/$target.log"
    if "$bin/$target" "$corpus" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=16384 -artifact_prefix="$root/build/fuzz/crashes/$target-" -print_final_stats=1 \
        >"$log" 2>&1; then
        echo "== fuzz: $target ok ($(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs," \
             "$(find "$corpus" -type f | wc -l) inputs in its corpus)"
    else
        echo "== fuzz: $target FAILED (log: $log)"
        grep -A12 -m1 -E 'ERROR: |fuzz check failed|runtime error' "$log" || tail -n 30 "$log"
        status=1
    fi
done
exit $status
