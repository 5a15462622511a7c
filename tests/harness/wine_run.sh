#!/usr/bin/env bash
# Runs one Windows test program under Wine with a Wine prefix and an X display
# of its own, and cleans both up afterwards.
#   wine_run.sh <name> <program.exe> [arguments...]
# The prefix is a copy of a template prefix made once per build folder (the
# copy hard-links everything but the registry files, which Wine rewrites).
#
# No test reaches the internet: the run happens in a network namespace with
# loopback only where the machine allows one (tests/harness/loopback_network.sh),
# and the prefix's WinINet goes through a loopback recorder that refuses every
# request and logs its target (tests/harness/request_recorder.py), unless a
# test routes it to the capture proxy. The run fails when the recorder logged
# a request for anything but loopback that no test declared as its own (in the
# file SORVANE_NETWORK_EXPECTED names, one "<method> <target>" a line); its
# log is build/wine/network/<name>/requests.log.
#
# Environment for the harness:
#   SORVANE_WINDOWS=32   a 32-bit Windows instead of a 64-bit one (whose
#                        32-bit side runs 32-bit programs under WOW64)
#   SORVANE_SCREENS=2    two screens joined into one desktop (Xinerama), which
#                        Wine reports as two monitors
#   SORVANE_SCREENS=side two monitors side by side, 1280x1024 at 0,0 and
#                        1024x768 at 1280,0 (Xorg's dummy driver; Xvfb's two
#                        screens overlap at 0,0)
#   SORVANE_DPI=<n>      the prefix's LogPixels, set before the program starts
#   SORVANE_DLL_OVERRIDES=<list>  more of Wine's DLL load orders (Wine reads
#                        them when a process starts, from the harness only)
#   SORVANE_RESULTS=<d>  a folder for GoogleTest's XML results (and the reason
#                        of a skip)
#   SORVANE_SCR_FILE=<path>  another screensaver file to test than the build's own
#   SORVANE_LOCALE=<locale>  the user's language on the Windows side: Wine
#                        takes it from LC_ALL, given to Wine alone (the shell
#                        may lack that locale and complain)
#   SORVANE_AUDIO_CAPTURE=<file>  what the program plays is written to this WAV
#                        file (16-bit) as it plays: Wine's ALSA driver into
#                        ALSA's file plugin, configured in a HOME of the
#                        test's own; GStreamer's plugin registry is shared
#                        by the tests of the build
# Environment for the program: SORVANE_SCR (the screensaver, as a Windows
# path), SORVANE_ARTIFACTS (a folder for screenshots, as a Windows path) and
# SORVANE_TEST_BIN (the folder of the test programs).
#
# A 32-bit program where 32-bit programs cannot run (no Wine 32-bit side, or a
# kernel that refuses 32-bit code) is not run: the harness says so and exits
# with 77, which ctest reports as skipped.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/loopback_network.sh"
enter_loopback_network "$0" "$@"
name=$1; program=$2; shift 2

bin_dir=$(cd "$(dirname "$program")" && pwd)
# A shell script (a name ending in .sh) runs instead of a Windows program, in
# the same prefix and display, with WINEPREFIX, DISPLAY and WINE (the
# launcher) exported; its first argument is the Windows test program it runs,
# whose build folder is the test's.
script="" windows_program=$program
if [[ $program == *.sh ]]; then
    script=$program windows_program=$1
    bin_dir=$(cd "$(dirname "$1")" && pwd)
fi
build=$bin_dir
while [ ! -f "$build/CMakeCache.txt" ] && [ "$build" != / ]; do build=$(dirname "$build"); done
wineserver=/usr/lib/wine/wineserver
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${SORVANE_DLL_OVERRIDES:+;$SORVANE_DLL_OVERRIDES}"
windows=${SORVANE_WINDOWS:-64}

# PE32 (0x10b) or PE32+ (0x20b), from the optional header's magic number.
pe_magic=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(4096); o=struct.unpack_from("<I",d,0x3c)[0]; print(hex(struct.unpack_from("<H",d,o+24)[0]))' "$windows_program")
if [ "$pe_magic" = 0x10b ]; then
    skip=""
    [ -x /usr/lib/wine/wine ] || skip="Wine's 32-bit side is not installed"
    [ -n "$skip" ] || skip=$("$here/../../scripts/probe_32bit.sh")
    if [ -n "$skip" ]; then
        echo "SKIPPED: $name, a 32-bit program, was not run: $skip" >&2
        [ -n "${SORVANE_RESULTS:-}" ] && echo "$skip" >"$SORVANE_RESULTS/$name.skipped"
        exit 77
    fi
    wine=/usr/lib/wine/wine
else
    if [ "$windows" = 32 ]; then
        echo "wine_run: a 64-bit program cannot run on a 32-bit Windows" >&2
        exit 1
    fi
    wine=/usr/lib/wine/wine64
fi

template=$build/wine/template
[ "$windows" = 32 ] && template=$build/wine/template32
"$here/wine_template.sh" "$template" "$windows" || { echo "wine_run: no template prefix" >&2; exit 1; }

prefix=$build/wine/prefixes/$name
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -al "$template" "$prefix"
for reg in "$prefix"/*.reg; do cp --remove-destination "$template/$(basename "$reg")" "$reg"; done
export WINEPREFIX=$prefix

# The recorder, and the prefix's Internet settings pointing at it (written
# into the copied registry before the prefix's server reads it). Nothing
# bypasses the proxy, loopback names included.
network=$build/wine/network/$name
rm -rf "$network"
mkdir -p "$network"
python3 "$here/request_recorder.py" "$network" >"$network/recorder.out" 2>&1 &
recorder=$!
for _ in $(seq 200); do
    [ -s "$network/port" ] && break
    kill -0 "$recorder" 2>/dev/null || break
    sleep 0.05
done
if [ ! -s "$network/port" ]; then
    echo "wine_run: the request recorder did not start:" >&2
    cat "$network/recorder.out" >&2
    exit 1
fi
awk -v server="127.0.0.1:$(head -n1 "$network/port")" '
    function route() { print "\"ProxyEnable\"=dword:00000001"; print "\"ProxyServer\"=\"" server "\""; routed = 1 }
    pending && !/^#/ { route(); pending = 0 }
    { print }
    index($0, "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Internet Settings] ") == 1 { pending = 1 }
    END {
        if (pending) route()
        if (!routed) { print ""; print "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Internet Settings] 0"; route() }
    }' "$prefix/user.reg" >"$prefix/user.reg.routed" && mv "$prefix/user.reg.routed" "$prefix/user.reg"

artifacts=$build/artifacts/$name
mkdir -p "$artifacts"
to_windows() { printf 'Z:%s' "${1//\//\\}"; }
export SORVANE_SCR=$(to_windows "${SORVANE_SCR_FILE:-$build/Sorvane 3D Screensaver.scr}")
export SORVANE_ARTIFACTS=$(to_windows "$artifacts")
export SORVANE_TEST_BIN=$(to_windows "$bin_dir")
export SORVANE_NETWORK_EXPECTED=$(to_windows "$network/expected")
# GoogleTest's results, for the summary of scripts/test.sh.
if [ -n "${SORVANE_RESULTS:-}" ]; then
    export GTEST_OUTPUT="xml:$(to_windows "$SORVANE_RESULTS/$name.xml")"
else
    unset GTEST_OUTPUT
fi

# An X display of our own; Xvfb picks a free number and tells it on fd 3.
screens=(-screen 0 1280x1024x24)
if [ "${SORVANE_SCREENS:-1}" = 2 ]; then
    # With RandR on, Wine sees only the first screen.
    screens=(-screen 0 1280x1024x24 -screen 1 1024x768x24 +xinerama -extension RANDR)
fi
display_file=$(mktemp)
if [ "${SORVANE_SCREENS:-1}" = side ]; then
    # Two dummy heads, the second right of the first, joined by Xinerama;
    # RandR off, or Wine sees one monitor.
    xorg_conf=$prefix/xorg-side-by-side.conf
    cat >"$xorg_conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoAddGPU" "false"
    Option "DontVTSwitch" "true"
    Option "Xinerama" "on"
EndSection
Section "Device"
    Identifier "left card"
    Driver "dummy"
    VideoRam 131072
EndSection
Section "Device"
    Identifier "right card"
    Driver "dummy"
    VideoRam 131072
EndSection
Section "Monitor"
    Identifier "left monitor"
    HorizSync 10.0-300.0
    VertRefresh 10.0-120.0
    Modeline "1280x1024" 108.00 1280 1328 1440 1688 1024 1025 1028 1066
EndSection
Section "Monitor"
    Identifier "right monitor"
    HorizSync 10.0-300.0
    VertRefresh 10.0-120.0
    Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806
EndSection
Section "Screen"
    Identifier "left"
    Device "left card"
    Monitor "left monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1280x1024"
        Virtual 1280 1024
    EndSubSection
EndSection
Section "Screen"
    Identifier "right"
    Device "right card"
    Monitor "right monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768"
        Virtual 1024 768
    EndSubSection
EndSection
Section "ServerLayout"
    Identifier "side by side"
    Screen 0 "left" 0 0
    Screen 1 "right" RightOf "left"
EndSection
Section "Extensions"
    Option "RANDR" "disable"
EndSection
CONF
    Xorg -displayfd 3 -config "$xorg_conf" -logfile "$prefix/Xorg.log" -noreset -nolisten tcp -novtswitch -sharevts \
        3>"$display_file" >/dev/null 2>&1 &
else
    Xvfb -displayfd 3 "${screens[@]}" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
fi
xvfb=$!
for _ in $(seq 200); do [ -s "$display_file" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$display_file")
rm -f "$display_file"

cleanup() {
    "$wineserver" -k >/dev/null 2>&1
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
    kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null
}
trap cleanup EXIT

if [ "${SORVANE_SCREENS:-1}" = side ]; then
    # Wine's XVidMode handler fails on the second head and then reports one
    # monitor; read when the prefix's server starts.
    for option in UseXVidMode UseXRandR; do
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v $option /d N /f >/dev/null 2>&1
    done
    "$wineserver" -w
fi
if [ -n "${SORVANE_AUDIO_CAPTURE:-}" ]; then
    export HOME=$prefix/home XDG_CACHE_HOME=$build/wine/xdg-cache
    mkdir -p "$HOME" "$XDG_CACHE_HOME"
    cat >"$HOME/.asoundrc" <<EOF
pcm.!default { type plug; slave { pcm "capture"; format S16_LE } }
pcm.capture { type file; slave.pcm "null"; file "$SORVANE_AUDIO_CAPTURE"; format "wav" }
EOF
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
fi

if [ -n "${SORVANE_DPI:-}" ]; then
    # Read when the prefix's server starts: set it, then let the server end.
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$SORVANE_DPI" /f >/dev/null 2>&1
    "$wineserver" -w
fi

locale=()
[ -z "${SORVANE_LOCALE:-}" ] || locale=(env "LC_ALL=$SORVANE_LOCALE")
if [ -n "$script" ]; then
    WINE=$wine bash "$script" "$@"
else
    "${locale[@]}" "$wine" "$program" "$@"
fi
rc=$?
"$wineserver" -k >/dev/null 2>&1
# Tests aim at loopback on purpose; anything else would have left the machine.
touch "$network/expected"
if outside=$(grep -Ev '^[A-Za-z]+ ([a-z]+://)?(127\.[0-9.]+|localhost|\[::1\])([:/].*)?$' "$network/requests.log" |
             grep -vxF -f <(tr -d '\r' <"$network/expected")); then
    echo "wine_run: $name tried to reach the network ($SORVANE_NETWORK network); the recorder refused:" >&2
    sed 's/^/    /' <<<"$outside" >&2
    [ $rc != 0 ] || rc=1
fi
# Screenshots are saved as BMP by the Windows side; keep PNG copies to look at.
for bmp in "$artifacts"/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $rc
