#!/usr/bin/env bash
# Builds the release program (32-bit, run under WOW64 as users run it; the
# 64-bit one where Wine has no 32-bit side) and runs it under Wine with the
# given switches (default /c, the settings dialog). With /s the screensaver
# starts the main program built beside it: the run's prefix names the build
# folder as AppPath. Without a display it runs on a virtual one, saves
# screenshots under build/ and ends the program.
#   scripts/run.sh [switch...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" >/dev/null
source "$root/scripts/builds.sh"
if [ -x /usr/lib/wine/wine ]; then
    build=win32 wine=/usr/lib/wine/wine
else
    echo "run: Wine has no 32-bit side here; running the 64-bit program" >&2
    build=win64 wine=/usr/lib/wine/wine64
fi
configure_and_build $build

[ $# -gt 0 ] || set -- /c
export WINEPREFIX=${WINEPREFIX:-$root/build/wine/run-prefix}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
"$root/tests/harness/wine_template.sh" "$root/build/wine/template"
[ -d "$WINEPREFIX" ] || cp -a "$root/build/wine/template" "$WINEPREFIX"
scr="$root/build/$build/Sorvane 3D Screensaver.scr"
if [ "${1:-}" = /s ] || [ "${1:-}" = /S ]; then
    # The screensaver finds its main program through AppPath (64-bit view).
    folder="Z:$(printf '%s' "$root/build/$build" | tr / '\\')"
    /usr/lib/wine/wine64 reg add 'HKLM\Software\Quenvale\Sorvane 3D Screensaver' /v AppPath /d "$folder" /f \
        >/dev/null 2>&1
fi

if [ -n "${DISPLAY:-}" ]; then
    exec "$wine" "$scr" "$@"
fi

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$display_file")
rm -f "$display_file"
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1; kill $xvfb 2>/dev/null' EXIT

"$wine" "$scr" "$@" &
program=$!
sleep 4
shot="$root/build/screenshot.png"
import -window root "$shot"
echo "screenshot of '$*' saved to $shot"
if [ "${1:-}" = /s ] || [ "${1:-}" = /S ]; then
    # A later moment of the scene, to see it move.
    sleep 3
    import -window root "$root/build/screenshot-later.png"
    echo "and a later one saved to $root/build/screenshot-later.png"
fi
kill $program 2>/dev/null || true
