#!/usr/bin/env bash
# Builds the release package in dist/: for each of 64-bit/ and 32-bit/ the
# installer "Sorvane 3D Screensaver Setup.exe" (scripts/make_installer.sh) and
# beside it the programs it installs, for those who install by hand; their
# SHA-256 sums and a short text for the Windows user. The build is made twice,
# in two different folders, and the programs and installers of both must be
# byte for byte the same, or the package is not made.
#   scripts/package.sh          build, check and package
#   scripts/package.sh --once   one build, no check (quicker, for a look)
#   scripts/package.sh --prebuilt FILE64 FILE32
#                               package these two built screensaver files, and
#                               the main programs beside them, as they are,
#                               without building (for the packaging tests)
#   --dist DIR                  make the package in DIR instead of dist/
# DIR (or dist/) must be missing, empty, or hold exactly the files of an
# earlier package (those its SHA256SUMS lists, with those sums, and the two
# of its own), which are replaced; anything else is refused and left as it is.
# With a code-signing certificate (SORVANE_SIGN_PKCS12 and its password, see
# scripts/sign.sh) the programs, the installers and the uninstallers inside
# them are signed after the check; without one the
# package is not signed. The password is read once, at the start, and kept
# from the environment of every process started. A packaging that fails
# leaves no package behind.
set -euo pipefail
# The password first, before any other program starts (builtins only).
case $0 in */*) scripts=${0%/*} ;; *) scripts=. ;; esac
source "$scripts/signing_password.sh"
if [ -n "${SORVANE_SIGN_PKCS12:-}" ] && ! read_signing_password; then
    echo "package: $password_error" >&2
    exit 1
fi
unset SORVANE_SIGN_PASSWORD SORVANE_SIGN_PASSWORD_FILE

root=$(cd "$scripts/.." && pwd)
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
        # The folder itself, never what a link of that name points to.
        --dist) [ $# -ge 2 ] || usage; dist=$(realpath -m "$(dirname "$2")")/$(basename "$2"); shift 2 ;;
        *) usage ;;
    esac
done
# sign.sh, given the password on its standard input.
sign() { printf '%s\n' "$password" | "$root/scripts/sign.sh" --password-stdin "$@"; }

# Whether folder $1 holds exactly an earlier package's files: SHA256SUMS,
# README.txt and the files SHA256SUMS lists, with those sums; no other file,
# no link, no folder but those the listed files are in.
earlier_package() {
    local folder=$1 listed found folders
    [ -f "$folder/SHA256SUMS" ] && [ -f "$folder/README.txt" ] || return 1
    [ -z "$(find "$folder" -mindepth 1 -type l)" ] || return 1
    listed=$( { sed 's/^[0-9a-f]\{64\} [ *]//' "$folder/SHA256SUMS"; printf '%s\n' SHA256SUMS README.txt; } | sort)
    found=$(cd "$folder" && find . -mindepth 1 ! -type d -printf '%P\n' | sort)
    [ "$listed" = "$found" ] || return 1
    folders=$(cd "$folder" && find . -mindepth 1 -type d -printf '%P\n' | sort)
    [ "$folders" = "$(grep / <<<"$listed" | sed 's|/[^/]*$||' | sort -u)" ] || return 1
    (cd "$folder" && sha256sum --quiet --strict -c SHA256SUMS) >/dev/null 2>&1
}

# The old package goes first: nothing may stay in dist/ that this run does
# not vouch for. Anything but an earlier package stays, and nothing is made.
# The certificate is checked before anything is built.
if [ -L "$dist" ] || { [ -e "$dist" ] && [ ! -d "$dist" ]; }; then
    echo "package: $dist is not a folder; remove it or choose another folder" >&2
    exit 1
fi
if [ -d "$dist" ] && [ -n "$(ls -A "$dist")" ] && ! earlier_package "$dist"; then
    echo "package: $dist holds more than an earlier package; remove it or choose another folder" >&2
    exit 1
fi
[ ${#prebuilt[@]} -gt 0 ] || "$root/scripts/setup.sh"
rm -rf "$dist"
signer=""
if [ -n "${SORVANE_SIGN_PKCS12:-}" ]; then
    signer=$(sign --check)
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
Sorvane 3D Screensaver
======================

The package holds the product in two builds, each with its installer and,
beside it, the two programs it installs:

  32-bit\Sorvane 3D Screensaver Setup.exe   for 32-bit and 64-bit Windows
  64-bit\Sorvane 3D Screensaver Setup.exe   for 64-bit Windows only
  <bits>\Sorvane 3D Screensaver.exe         the main program: the scene,
                                            music and sounds, the wallpaper
  <bits>\Sorvane 3D Screensaver.scr         the screensaver file that Windows
                                            starts, and its settings

SHA256SUMS lists the SHA-256 sum of each file, to check a download
(PowerShell: Get-FileHash "Sorvane 3D Screensaver Setup.exe").
TEXT
    if [ -n "$signer" ]; then
        cat <<TEXT

Every program, the installers and the uninstallers they write are signed
with Authenticode (SHA-256) by
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

Install with the installer
--------------------------
Run "Sorvane 3D Screensaver Setup.exe" and allow it to make changes (it
needs an administrator). It asks:

- the language, among English, German, French and Russian (the one of
  your Windows comes first); the screensaver's settings then speak it;
- the folder of the main program: "Program Files (x86)\Sorvane 3D
  Screensaver" for the 32-bit build on 64-bit Windows, "Program Files\
  Sorvane 3D Screensaver" otherwise, or one you choose. The screensaver
  file goes into the Windows system folder of its build (SysWOW64 for the
  32-bit one on 64-bit Windows, System32 otherwise);
- "Make Sorvane 3D Screensaver the active screensaver" (ticked): chooses
  it in the Screen Saver Settings, as choosing it there does;
- "Start the animated wallpaper when I log on" (not ticked): Windows then
  starts the main program as an animated desktop wallpaper at each log-on,
  as "Run at Windows startup" in the screensaver's settings does. The
  installer does not start it; the next log-on or the Start menu does.
  These two belong to your own account: they are offered only when you run
  the installer as yourself. When an administrator's name and password were
  given instead, they are left to you, in the Screen Saver Settings and in
  the screensaver's settings;
- "Send anonymous usage statistics" (ticked): when unticked, the installer
  writes DisableAnalytics (below) and nothing is ever sent from this
  computer. When an administrator has written it, it stays.

The Start menu gets, for every user, "Sorvane 3D Screensaver" with
"Sorvane 3D Screensaver Settings", "Start animated wallpaper" and "Stop
animated wallpaper".

A screensaver or wallpaper that runs is asked to close first. Files still
in use (by another user's screensaver or wallpaper) are replaced when
Windows restarts; the installer says so. Installing again, or a newer
version, keeps your settings, playlist, language and usage-statistics
choice; installing the other build replaces this one.

Installing without questions, for administrators:
  "Sorvane 3D Screensaver Setup.exe" /S [/SCREENSAVER] [/WALLPAPER] [/NOANALYTICS] [/D=folder]
  /S             no window and no questions; changes no user's choices
                 unless asked by the next two
  /SCREENSAVER   makes it the active screensaver of the user it runs as
  /WALLPAPER     starts the animated wallpaper at that user's log-on
  /NOANALYTICS   turns the usage statistics off for this computer
  /D=folder      the main program's folder; last, without quotes, even
                 with spaces
  The exit code is 0, or 3010 when files in use are replaced at the next
  restart.

Remove
------
Settings, Apps (or Programs and Features): "Sorvane 3D Screensaver",
Uninstall. Without questions, as an administrator:
  "C:\Program Files\Sorvane 3D Screensaver\Uninstall.exe" /S
(the folder as installed; the uninstall entry's QuietUninstallString holds
it). It removes the programs, the shortcuts, the settings, the playlist,
ClientGuid and SessionCount, the start-up entry, the music's place in the
playlist and the screensaver choice of every logged-on user when it names
this screensaver, DisableAnalytics
when the installer wrote it, and the Quenvale key when nothing else is in
it.

Install by hand
---------------
1. Copy "Sorvane 3D Screensaver.exe" of your Windows' build into a folder,
   say "C:\Program Files\Sorvane 3D Screensaver".
2. Tell the screensaver where it is, in a command prompt started as
   administrator (the folder without a trailing backslash):
     reg add "HKLM\Software\Quenvale\Sorvane 3D Screensaver" /v AppPath /t REG_SZ /d "C:\Program Files\Sorvane 3D Screensaver" /f /reg:64
3. Right-click "Sorvane 3D Screensaver.scr" and choose "Install". Windows
   opens the Screen Saver Settings with it chosen; "Settings..." opens its
   own settings (monitor, blank screens, mouse, antialiasing, music,
   sounds, playlist, the wallpaper's start-up), "Preview" shows it. Press OK
   to keep it. Right-click and "Test" runs it at once.
To remove it: choose another screensaver or "(None)" in the Screen Saver
Settings, delete both programs, and in a command prompt started as
administrator:
     reg delete "HKLM\Software\Quenvale\Sorvane 3D Screensaver" /f /reg:64
     reg delete "HKLM\Software\Quenvale" /v ClientGuid /f /reg:64
     reg delete "HKLM\Software\Quenvale" /v SessionCount /f /reg:64
     reg delete "HKCU\Software\Microsoft\Windows\CurrentVersion\Run" /v QuenvaleAnimatedWallpaper /f
     reg delete "HKCU\Software\Quenvale\Sorvane 3D Screensaver" /f

What it stores in the registry
------------------------------
The programs keep no files of their own. Their values are text (REG_SZ),
in the 64-bit part of the registry on 64-bit Windows.

HKEY_LOCAL_MACHINE\Software\Quenvale\Sorvane 3D Screensaver
  The settings, written when you press OK in its settings and read by the
  main program: Antialiasing, CurMonitor, DisableMusic, DisableSound,
  DisableOnMouseActivate, EnableMultiMonitorMode, FontScaling,
  HighQualityGraphics, HighQualityTextures, MonitorAspectRatio,
  MusicVolumePercentage, ShowBlackScreens, ShowFPS, ShufflePlayList,
  SoundsVolumePercentage, UseDesktopRes, UsePlaylist.
  PlayList   your music playlist (written by "Edit Playlist...").
  Language   the language of the settings: "3: de", "3: fr" or "3: ru",
             written by the installer in its language (none for English)
             and kept by later installs.
  AppPath    the main program's folder, written by the installer.

HKEY_LOCAL_MACHINE\Software\Quenvale
  ClientGuid        a random identifier of this computer for the usage
                    statistics; it names no person and no hardware.
  SessionCount      how often the settings have been opened.
  DisableAnalytics  any value of this name, of any type and content, in
                    the 64-bit or the 32-bit part of the registry, turns
                    the usage statistics off; written by the installer
                    when they are declined, or by an administrator.

HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run
  QuenvaleAnimatedWallpaper  while "Run at Windows startup" is ticked, the
                             main program's path followed by /w: Windows then
                             starts it as an animated desktop wallpaper when
                             you log on. Empty while the box is not ticked.

HKEY_CURRENT_USER\Software\Quenvale\Sorvane 3D Screensaver
  NextPlayListEntry  the playlist entry the music goes on with next time,
                     kept by the main program so that each run does not
                     begin with the same song.

HKEY_CURRENT_USER\Control Panel\Desktop
  SCRNSAVE.EXE, ScreenSaveActive   the active screensaver, as the Screen Saver
                             Settings write it.

HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\
Sorvane 3D Screensaver_is1 (32-bit part)
  The uninstall entry: InstallLocation (the folder, with a trailing
  backslash), DisplayName, DisplayVersion, Publisher, DisplayIcon,
  UninstallString, QuietUninstallString, EstimatedSize, NoModify, NoRepair,
  and the installer's own notes (its language, and what it wrote for whom).
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

# The installers, made unsigned from both builds' programs, must be the same
# bytes too (no time is stored in them).
main="Sorvane 3D Screensaver.exe"
setup="Sorvane 3D Screensaver Setup.exe"
declare -A bits=([64-bit]=64 [32-bit]=32)
for arch in 64-bit 32-bit; do
    [ -f "$(dirname "${built[$arch]}")/$main" ] || { echo "package: no $main beside ${built[$arch]}" >&2; exit 1; }
done
if [ $check = yes ]; then
    for arch in 64-bit 32-bit; do
        for copy in 1 2; do
            folder=$root/build/package-$copy/$arch
            "$root/scripts/make_installer.sh" --bits "${bits[$arch]}" --scr "$folder/$name" --main "$folder/$main" \
                --out "$folder/$setup"
        done
        first=$(sha "$root/build/package-1/$arch/$setup")
        second=$(sha "$root/build/package-2/$arch/$setup")
        if [ "$first" = "$second" ]; then
            echo "== package: $arch $setup reproducible, sha256 $first"
        else
            echo "package: the two $arch installers differ: $first against $second" >&2
            status=1
        fi
    done
fi
[ $status = 0 ] || exit 1

# Made in a folder of its own beside it and renamed when complete, so that a
# failed signing leaves no package, signed in part or not at all.
mkdir -p "$(dirname "$dist")"
stage=$(dirname "$dist")/.$(basename "$dist").partial.$$
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/64-bit" "$stage/32-bit"
for arch in 64-bit 32-bit; do
    declare -A source=(["$name"]=${built[$arch]} ["$main"]=$(dirname "${built[$arch]}")/$main)
    for file in "$name" "$main"; do
        if [ -n "$signer" ]; then
            sign "${source[$file]}" "$stage/$arch/$file"
        else
            cp "${source[$file]}" "$stage/$arch/$file"
        fi
    done
    # The installer holds the programs as packaged beside it.
    installer=("$root/scripts/make_installer.sh" --bits "${bits[$arch]}" --scr "$stage/$arch/$name"
               --main "$stage/$arch/$main" --out "$stage/$arch/$setup")
    if [ -n "$signer" ]; then
        printf '%s\n' "$password" | "${installer[0]}" --password-stdin "${installer[@]:1}" --sign
    else
        "${installer[@]}"
    fi
done
(cd "$stage" && sha256sum {64-bit,32-bit}/{"$setup","$main","$name"} >SHA256SUMS)
# Windows' Notepad of older versions wants CRLF line ends.
readme | sed 's/$/\r/' >"$stage/README.txt"
mv "$stage" "$dist"
echo "== package: $(cd "$dist" && find . -type f | sort | tr '\n' ' ')"
cat "$dist/SHA256SUMS"
