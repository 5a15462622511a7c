#!/usr/bin/env bash
# The silent uninstall, run by the harness in a fresh prefix (tests/harness/
# wine_run.sh): the product is installed and used by the Windows test program
# (UninstallFlow.InstallAndUse, which leaves the wallpaper running), then
# uninstalled through its QuietUninstallString. The uninstaller relaunches
# itself from the temporary folder, so the flow waits until Wine's server has
# ended (which also writes the registry files), then compares the prefix's
# files and registry with their state before the install (wine_state.py
# lists the differences allowed).
#   uninstall_flow.sh <installer_tests.exe> [admin]
# admin: an administrator turned usage statistics off before the install;
# the switch, and the maker's key holding it, stay.
set -uo pipefail
tests=$1 variant=${2:-}
# The user's language, for Wine alone (the harness's SORVANE_LOCALE).
wine() {
    if [ -n "${SORVANE_LOCALE:-}" ]; then env LC_ALL="$SORVANE_LOCALE" "$WINE" "$@"; else "$WINE" "$@"; fi
}
here=$(cd "$(dirname "$0")" && pwd)
wineserver=/usr/lib/wine/wineserver
work=$WINEPREFIX.flow
rm -rf "$work"
mkdir -p "$work"

fail() {
    echo "uninstall flow: $*" >&2
    exit 1
}
# Waits, with a bound, for every process of the prefix and its server to end.
wait_for_wine() {
    timeout 120 "$wineserver" -w || fail "Wine's processes did not end: $(ps -eo args | grep -i '[.]exe' | head -5)"
}

# Wine adapts its own keys to the display and the language when it first
# starts in a prefix: the state before the install is the one after a start.
if [ "$variant" = admin ]; then
    wine reg add 'HKLM\Software\Quenvale' /v DisableAnalytics /t REG_SZ /d 1 /f /reg:64 >/dev/null ||
        fail "could not set the administrator's switch"
else
    wine cmd /c exit || fail "Wine does not start"
fi
wait_for_wine
python3 "$here/wine_state.py" snapshot "$WINEPREFIX" "$work/before.json" || fail "no snapshot before"

wine "$tests" --gtest_filter=UninstallFlow.InstallAndUse || fail "the install and use failed"

entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sorvane 3D Screensaver_is1'
quiet=$(wine reg query "$entry" /v QuietUninstallString /reg:32 | tr -d '\r' |
        sed -n 's/^ *QuietUninstallString *REG_SZ *//p')
# "C:\...\Uninstall.exe" /S
program=${quiet#\"}
program=${program%%\"*}
arguments=${quiet#\"*\"}
[ -n "$program" ] && [ "$arguments" = " /S" ] || fail "QuietUninstallString is not a quoted program and /S: $quiet"
wine "$program" /S || fail "the uninstaller failed"
wait_for_wine

python3 "$here/wine_state.py" snapshot "$WINEPREFIX" "$work/after.json" || fail "no snapshot after"
if ! python3 "$here/wine_state.py" compare "$work/before.json" "$work/after.json" >"$work/differences.txt"; then
    cat "$work/differences.txt" >&2
    fail "the uninstall left these differences to the state before the install"
fi
echo "uninstall flow: the prefix is as before the install"
