#!/usr/bin/env bash
# Runs one Windows test program under Wine with a Wine prefix and an X display
# of its own, and cleans both up afterwards.
#   wine_run.sh <name> <program.exe> [arguments...]
# The prefix is a copy of a template prefix made once per build folder (the
# copy hard-links everything but the registry files, which Wine rewrites).
# Environment for the program: SORVANE_SCR (the screensaver, as a Windows
# path) and SORVANE_ARTIFACTS (a folder for screenshots, as a Windows path).
set -uo pipefail
name=$1; program=$2; shift 2

here=$(cd "$(dirname "$0")" && pwd)
bin_dir=$(cd "$(dirname "$program")" && pwd)
build=$bin_dir
while [ ! -f "$build/CMakeCache.txt" ] && [ "$build" != / ]; do build=$(dirname "$build"); done
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

template=$build/wine/template
"$here/wine_template.sh" "$template" || { echo "wine_run: no template prefix" >&2; exit 1; }

prefix=$build/wine/prefixes/$name
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -al "$template" "$prefix"
for reg in "$prefix"/*.reg; do cp --remove-destination "$template/$(basename "$reg")" "$reg"; done
export WINEPREFIX=$prefix

artifacts=$build/artifacts/$name
mkdir -p "$artifacts"
to_windows() { printf 'Z:%s' "${1//\//\\}"; }
export SORVANE_SCR=$(to_windows "$build/Sorvane 3D Screensaver.scr")
export SORVANE_ARTIFACTS=$(to_windows "$artifacts")
export SORVANE_TEST_BIN=$(to_windows "$bin_dir")

# An X display of our own; Xvfb picks a free number and tells it on fd 3.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$display_file")
rm -f "$display_file"

cleanup() {
    "$wineserver" -k >/dev/null 2>&1
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT

"$wine" "$program" "$@"
rc=$?
# Screenshots are saved as BMP by the Windows side; keep PNG copies to look at.
for bmp in "$artifacts"/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $rc
