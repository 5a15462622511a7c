#!/usr/bin/env bash
# Makes a template Wine prefix that tests copy, once: created by wineboot, with
# window management off (Xvfb has no window manager, and a managed window makes
# Wine wait on every hide). Concurrent callers wait.
#   wine_template.sh <folder> [64|32]
#   64 (default): a 64-bit Windows, with the 32-bit side when Wine has one, so
#                 that a 32-bit program runs under WOW64 as users run it;
#   32:           a 32-bit Windows, made by the 32-bit loader.
set -euo pipefail
template=$1
kind=${2:-64}
if [ "$kind" = 32 ]; then
    loader=/usr/lib/wine/wine
    want="windows=32"
else
    loader=/usr/lib/wine/wine64
    # A template made before Wine's 32-bit side was installed lacks it.
    want="windows=64 wow64=$([ -x /usr/lib/wine/wine ] && echo yes || echo no)"
fi
[ "$(cat "$template/.ready" 2>/dev/null)" = "$want" ] && exit 0
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
[ "$(cat "$template/.ready" 2>/dev/null)" = "$want" ] && exit 0
rm -rf "$template"
export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ "$kind" = 32 ] && export WINEARCH=win32
"$loader" wineboot -i >/dev/null 2>&1
"$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
if [ "$kind" = 64 ] && [ -x /usr/lib/wine/wine ] && [ ! -f "$template/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "wine_template: the 64-bit prefix has no 32-bit side (syswow64 is empty)" >&2
    exit 1
fi
echo "$want" >"$template/.ready"
