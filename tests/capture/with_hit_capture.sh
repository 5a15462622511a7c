#!/usr/bin/env bash
# Runs one Windows test program under Wine (tests/harness/wine_run.sh) while
# our loopback capture proxy records every HTTP and HTTPS request sent to it.
#   with_hit_capture.sh <name> <program.exe> [arguments...]
# The program learns where the capture is from SORVANE_CAPTURE_PORT,
# SORVANE_CAPTURE_WRONG_NAME_PORT (where the capture presents a certificate
# issued for another name), SORVANE_CAPTURE_LOG (the request log, as a
# Windows path) and
# SORVANE_CAPTURE_ROOT (the test root certificate, DER, as a Windows path);
# the test driver points the test's own Wine prefix at it. Nothing outside the
# test's prefix, its folder and the processes started here is changed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# The same network as the program's (tests/harness/wine_run.sh).
source "$here/../harness/loopback_network.sh"
enter_loopback_network "$0" "$@"
name=$1; program=$2; shift 2

bin_dir=$(cd "$(dirname "$program")" && pwd)
build=$bin_dir
while [ ! -f "$build/CMakeCache.txt" ] && [ "$build" != / ]; do build=$(dirname "$build"); done

folder=$build/capture/$name
rm -rf "$folder"
mkdir -p "$folder"
python3 "$here/hit_capture_server.py" "$folder" >"$folder/server.out" 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }
trap cleanup EXIT

for _ in $(seq 300); do
    [ -s "$folder/port" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$folder/port" ]; then
    echo "with_hit_capture: the capture server did not start:" >&2
    cat "$folder/server.out" >&2
    exit 1
fi

to_windows() { printf 'Z:%s' "${1//\//\\}"; }
export SORVANE_CAPTURE_PORT=$(head -n1 "$folder/port")
export SORVANE_CAPTURE_WRONG_NAME_PORT=$(head -n1 "$folder/wrong_name_port")
export SORVANE_CAPTURE_LOG=$(to_windows "$folder/requests.log")
export SORVANE_CAPTURE_ROOT=$(to_windows "$folder/root.der")

"$here/../harness/wine_run.sh" "$name" "$program" "$@"
