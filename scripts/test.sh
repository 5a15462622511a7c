#!/usr/bin/env bash
# Installs what is missing, builds all three builds and runs every test:
# native unit tests, the Windows-side tests and the end-to-end scenarios
# under Wine, the inspection of both Windows programs and their signing with
# a throwaway certificate (tests/packaging/signing_test.sh); then the native
# unit tests again under the address and undefined-behaviour sanitizers, and
# each fuzz target for a few seconds.
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

status=0
run_ctest() {
    echo "== tests: $1"
    (cd "$root/build/$1" && ctest --output-on-failure -j "$(nproc)") || status=1
}
run_ctest native
run_ctest win64
run_ctest win32
echo "== tests: signing of the release programs"
"$root/tests/packaging/signing_test.sh" || status=1
run_ctest asan
"$root/scripts/static_checks.sh" || status=1
echo "== fuzz: every target of tests/fuzz for a few seconds (longer: scripts/fuzz.sh 600)"
"$root/scripts/fuzz.sh" 7 || status=1
echo "== all builds and tests took $(( $(date +%s) - start )) s"
exit $status
