#!/usr/bin/env bash
# Builds the release package in dist/: both release screensaver files, their
# SHA-256 sums and a short text for the Windows user. The build is made twice,
# in two different folders, and the files of both must be byte for byte the
# same, or the package is not made.
#   scripts/package.sh          build, check and package
#   scripts/package.sh --once   one build, no check (quicker, for a look)
#   scripts/package.sh --prebuilt FILE64 FILE32
#                               package these two built files as they are,
#                               without building (for the packaging tests)
#   --dist DIR                  make the package in DIR instead of dist/
# With a code-signing certificate (SORVANE_SIGN_PKCS12 and its password, see
# scripts/sign.sh) both files are signed after the check; without one the
# package is not signed. A packaging that fails leaves no package behind.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=yes
prebuilt=()
dist=$root/dist
usage() {
    echo "usage: $0 [--once | --prebuilt FILE64 FILE32] [--dist DIR]" >&2
    exit 2
}
while [ $# -gt 0 ]; do
    case $1 in
        --once) check=no; shift ;;
        --prebuilt) [ $# -ge 3 ] || usage; prebuilt=("$(realpath "$2")" "$(realpath "$3")"); check=no; shift 3 ;;
        --dist) [ $# -ge 2 ] || usage; dist=$(realpath -m "$2"); shift 2 ;;
        *) usage ;;
    esac
done
[ ${#prebuilt[@]} -gt 0 ] || "$root/scripts/setup.sh"

# The old package goes first: nothing may stay in dist/ that this run does
# not vouch for. A folder holding anything else is no package and stays.
# The certificate is checked before anything is built.
if [ -e "$dist" ] && [ -n "$(find "$dist" -mindepth 1 -maxdepth 1 ! -name 64-bit ! -name 32-bit \
    ! -name SHA256SUMS ! -name README.txt)" ]; then
    echo "package: $dist holds more than a package; remove it or choose another folder" >&2
    exit 1
fi
rm -rf "$dist"
signer=""
if [ -n "${SORVANE_SIGN_PKCS12:-}" ]; then
    signer=$("$root/scripts/sign.sh" --check)
    echo "== package: signing as $signer"
fi

name="Sorvane 3D Screensaver.scr"
declare -A toolchain=([64-bit]=mingw-x86_64 [32-bit]=mingw-i686)

# One release build of one architecture in `dir`, from a fresh cache. The
# source and build folders are mapped to fixed names in everything the
# compiler records, so that neither can reach the file.
build_release() {
    local arch=$1 dir=$2 log=$2/build.log
    rm -rf "$dir"
    mkdir -p "$dir"
    local map="-ffile-prefix-map=$root=/sorvane -ffile-prefix-map=$dir=/sorvane-build"
    echo "== package: building $arch in ${dir#"$root"/}"
    if ! { cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSORVANE_TESTS=OFF \
               -DCMAKE_TOOLCHAIN_FILE="$root/cmake/${toolchain[$arch]}.cmake" \
               -DCMAKE_C_FLAGS="$map" -DCMAKE_CXX_FLAGS="$map" &&
           cmake --build "$dir" -j "$(nproc)" --target screensaver main_program; } >"$log" 2>&1; then
        cat "$log"
        return 1
    fi
    if grep -q 'warning:' "$log"; then
        grep -B2 -A6 'warning:' "$log"
        echo "package: the $arch build has warnings" >&2
        return 1
    fi
}

# The text for the Windows user; with the signer's name when signed.
readme() {
    cat <<'TEXT'
Sorvane 3D Screensaver - the screensaver file
=============================================

This package holds the screensaver file of Sorvane 3D Screensaver in two
builds. Use the one that matches your Windows:

  64-bit\Sorvane 3D Screensaver.scr   for 64-bit Windows (most computers)
  32-bit\Sorvane 3D Screensaver.scr   for 32-bit Windows

The screensaver shows its scene through the product's main program,
"Sorvane 3D Screensaver.exe", which the product's installer puts on the
computer. Without it the screensaver reports that it cannot find its main
file. SHA256SUMS lists the SHA-256 sum of each file, to check a download
(PowerShell: Get-FileHash "Sorvane 3D Screensaver.scr").
TEXT
    if [ -n "$signer" ]; then
        cat <<TEXT

Both files are signed with Authenticode (SHA-256) by
  $signer
Windows names this publisher when it asks before running a file from the
web, and in the file's Properties, under Digital Signatures. The sums in
SHA256SUMS are those of the signed files.
TEXT
    else
        cat <<'TEXT'

The files are not signed: Windows may warn before it runs one that came
from the web. Compare its sum with SHA256SUMS from the same source.
TEXT
    fi
    cat <<'TEXT'

Install
-------
1. Copy the .scr file to the product's installation folder, beside
   "Sorvane 3D Screensaver.exe" (or to any folder where it can stay).
2. Right-click the file and choose "Install". Windows opens the Screen Saver
   Settings with Sorvane 3D Screensaver chosen.
3. "Settings..." opens the screensaver's own settings: monitor, blank
   screens, mouse, antialiasing, music, sounds and playlist. "Preview" shows
   it at once. Press OK in the Screen Saver Settings to keep it.

Right-click and "Test" runs the screensaver at once; "Configure" opens its
settings.

Remove
------
1. In the Screen Saver Settings (right-click the desktop, Personalize, Lock
   screen, Screen saver settings) choose another screensaver or "(None)" and
   press OK.
2. Delete the .scr file.
3. To remove its settings too, run in a command prompt started as
   administrator:
     reg delete "HKLM\Software\Quenvale\Sorvane 3D Screensaver" /f /reg:64
     reg delete "HKLM\Software\Quenvale" /v ClientGuid /f /reg:64
     reg delete "HKLM\Software\Quenvale" /v SessionCount /f /reg:64
     reg delete "HKCU\Software\Microsoft\Windows\CurrentVersion\Run" /v QuenvaleAnimatedWallpaper /f
   (Uninstalling the product with its own uninstaller removes the main
   program as well.)

What it stores in the registry
------------------------------
The screensaver keeps no files of its own. Everything is a text value
(REG_SZ), in the 64-bit part of the registry on 64-bit Windows.

HKEY_LOCAL_MACHINE\Software\Quenvale\Sorvane 3D Screensaver
  The settings, written when you press OK in its settings and read by the
  main program: Antialiasing, CurMonitor, DisableMusic, DisableSound,
  DisableOnMouseActivate, EnableMultiMonitorMode, FontScaling,
  HighQualityGraphics, HighQualityTextures, MonitorAspectRatio,
  MusicVolumePercentage, ShowBlackScreens, ShowFPS, ShufflePlayList,
  SoundsVolumePercentage, UseDesktopRes, UsePlaylist.
  PlayList   your music playlist (written by "Edit Playlist...").
  Language   the language of the settings (English, Russian, German, French).
  AppPath    the installation folder, written by the product's installer and
             only read here.

HKEY_LOCAL_MACHINE\Software\Quenvale
  ClientGuid        a random identifier of this computer for the usage
                    statistics; it names no person and no hardware.
  SessionCount      how often the settings have been opened.
  DisableAnalytics  any value of this name, of any type and content, in
                    the 64-bit or the 32-bit part of the registry, turns
                    the usage statistics off; the screensaver only reads it.

HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run
  QuenvaleAnimatedWallpaper  while "Run at Windows startup" is ticked, the
                             main program's path followed by /w: Windows then
                             starts it as an animated desktop wallpaper when
                             you log on. Empty while the box is not ticked.
TEXT
}

sha() { sha256sum "$1" | cut -d' ' -f1; }

status=0
declare -A built=([64-bit]=${prebuilt[0]:-} [32-bit]=${prebuilt[1]:-})
for arch in 64-bit 32-bit; do
    [ -z "${built[$arch]}" ] || continue # given, not built
    build_release "$arch" "$root/build/package-1/$arch"
    built[$arch]=$root/build/package-1/$arch/$name
    if [ $check = yes ]; then
        build_release "$arch" "$root/build/package-2/$arch"
        # The main program is built and checked beside the screensaver file.
        for file in "$name" "Sorvane 3D Screensaver.exe"; do
            first=$(sha "$root/build/package-1/$arch/$file")
            second=$(sha "$root/build/package-2/$arch/$file")
            if [ "$first" = "$second" ]; then
                echo "== package: $arch $file reproducible, sha256 $first"
            else
                echo "package: the two $arch builds of $file differ: $first against $second" >&2
                cmp -l "$root/build/package-1/$arch/$file" "$root/build/package-2/$arch/$file" | head -20 >&2 || true
                status=1
            fi
        done
    fi
done
[ $status = 0 ] || exit 1

# Made in a folder of its own beside it and renamed when complete, so that a
# failed signing leaves no package, signed in part or not at all.
mkdir -p "$(dirname "$dist")"
stage=$(dirname "$dist")/.$(basename "$dist").partial.$$
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/64-bit" "$stage/32-bit"
for arch in 64-bit 32-bit; do
    if [ -n "$signer" ]; then
        "$root/scripts/sign.sh" "${built[$arch]}" "$stage/$arch/$name"
    else
        cp "${built[$arch]}" "$stage/$arch/$name"
    fi
done
(cd "$stage" && sha256sum "64-bit/$name" "32-bit/$name" >SHA256SUMS)
# Windows' Notepad of older versions wants CRLF line ends.
readme | sed 's/$/\r/' >"$stage/README.txt"
mv "$stage" "$dist"
echo "== package: $(cd "$dist" && find . -type f | sort | tr '\n' ' ')"
cat "$dist/SHA256SUMS"
