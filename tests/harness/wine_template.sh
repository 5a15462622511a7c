#!/usr/bin/env bash
# Makes the template Wine prefix that every test copies, once: created by
# wineboot, with window management off (Xvfb has no window manager, and a
# managed window makes Wine wait on every hide). Concurrent callers wait.
set -euo pipefail
template=$1
[ -f "$template/.ready" ] && exit 0
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
[ -f "$template/.ready" ] && exit 0
rm -rf "$template"
export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$template/.ready"
