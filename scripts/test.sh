#!/usr/bin/env bash
# Installs what is missing, builds all three builds and runs every test:
# native unit tests, the Windows-side tests and the end-to-end scenarios
# under Wine for both Windows programs (the 32-bit release program under
# WOW64 and on a 32-bit Windows, the 64-bit one), the inspection of both and
# their signing with a throwaway certificate (tests/packaging/signing_test.sh);
# then the native unit tests again under the address and undefined-behaviour
# sanitizers and under the thread sanitizer, the static checks, and each fuzz
# target for a few seconds.
# Ends with a summary: per build, the test groups and the tests that ran,
# and loudly whatever was skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
source "$root/scripts/builds.sh"

start=$(date +%s)
configure_and_build native
configure_and_build win64
configure_and_build win32
configure_and_build asan
configure_and_build tsan

status=0
summary=()
run_ctest() {
    local name=$1 dir="$root/build/$1"
    echo "== tests: $name"
    # Every GoogleTest program writes its results here (the harness passes the
    # folder on to the programs it runs under Wine).
    rm -rf "$dir/test-results"
    mkdir -p "$dir/test-results"
    local log="$dir/ctest.log"
    (cd "$dir" && SORVANE_RESULTS="$dir/test-results" GTEST_OUTPUT="xml:$dir/test-results/" \
        ctest --output-on-failure -j "$(nproc)") 2>&1 | tee "$log" || status=1
    summary+=("$(python3 "$root/scripts/test_summary.py" "$name" "$log" "$dir/test-results")")
}
run_ctest native
run_ctest win64
run_ctest win32
echo "== tests: signing of the release programs"
"$root/tests/packaging/signing_test.sh" || status=1
run_ctest asan
run_ctest tsan
"$root/scripts/static_checks.sh" || status=1
echo "== fuzz: every target of tests/fuzz for a few seconds (longer: scripts/fuzz.sh 600)"
"$root/scripts/fuzz.sh" 7 || status=1

echo "== summary"
printf '%s\n' "${summary[@]}"
echo "== all builds and tests took $(( $(date +%s) - start )) s"
exit $status
