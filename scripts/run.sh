#!/usr/bin/env bash
# Builds the 64-bit program and runs it under Wine with the given switches
# (default /c, the settings dialog). Without a display it runs on a virtual
# one, saves a screenshot under build/ and ends the program.
#   scripts/run.sh [switch...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" >/dev/null
source "$root/scripts/builds.sh"
configure_and_build win64

[ $# -gt 0 ] || set -- /c
export WINEPREFIX=${WINEPREFIX:-$root/build/wine/run-prefix}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
"$root/tests/harness/wine_template.sh" "$root/build/wine/template"
[ -d "$WINEPREFIX" ] || cp -a "$root/build/wine/template" "$WINEPREFIX"
scr="$root/build/win64/Sorvane 3D Screensaver.scr"

if [ -n "${DISPLAY:-}" ]; then
    exec /usr/lib/wine/wine64 "$scr" "$@"
fi

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$display_file")
rm -f "$display_file"
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1; kill $xvfb 2>/dev/null' EXIT

/usr/lib/wine/wine64 "$scr" "$@" &
program=$!
sleep 4
shot="$root/build/screenshot.png"
import -window root "$shot"
echo "screenshot of '$*' saved to $shot"
kill $program 2>/dev/null || true
