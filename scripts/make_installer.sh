#!/usr/bin/env bash
# Makes the product's installer with makensis (Debian's nsis) from
# installer/sorvane_setup.nsi, holding the given screensaver and main program.
#   scripts/make_installer.sh --bits 32|64 --scr FILE --main FILE --out FILE [--sign]
# --sign: the uninstaller inside is signed while it is made, and the installer
# after, by scripts/sign.sh (its certificate and password come from its
# environment). OUT appears only when everything succeeded.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

fail() {
    echo "make_installer: $*" >&2
    exit 1
}

# Called by makensis for the uninstaller it has just made (!uninstfinalize):
# the file is signed in place.
if [ "${1:-}" = --sign-uninstaller ] && [ $# = 2 ]; then
    "$root/scripts/sign.sh" "$2" "$2.signed"
    mv -f "$2.signed" "$2"
    exit 0
fi

bits="" scr="" main="" out="" sign=no
usage() {
    echo "usage: $0 --bits 32|64 --scr FILE --main FILE --out FILE [--sign]" >&2
    exit 2
}
while [ $# -gt 0 ]; do
    case $1 in
        --bits) [ $# -ge 2 ] || usage; bits=$2; shift 2 ;;
        --scr) [ $# -ge 2 ] || usage; scr=$(realpath "$2"); shift 2 ;;
        --main) [ $# -ge 2 ] || usage; main=$(realpath "$2"); shift 2 ;;
        --out) [ $# -ge 2 ] || usage; out=$(realpath -m "$2"); shift 2 ;;
        --sign) sign=yes; shift ;;
        *) usage ;;
    esac
done
[ "$bits" = 32 ] || [ "$bits" = 64 ] || usage
[ -n "$out" ] || usage
[ -f "$scr" ] || fail "no screensaver file $scr"
[ -f "$main" ] || fail "no main program $main"
command -v makensis >/dev/null || fail "makensis is missing (Debian's nsis; scripts/setup.sh installs it)"

mkdir -p "$(dirname "$out")"
partial=$(mktemp "$(dirname "$out")/.installer.XXXXXX")
trap 'rm -f "$partial" "$partial.unsigned"' EXIT
defines=(-DBITS="$bits" -DSCR_FILE="$scr" -DMAIN_FILE="$main" -DROOT="$root")
if [ $sign = yes ]; then
    defines+=(-DOUT_FILE="$partial.unsigned"
              "-DSIGN_UNINSTALLER=\"$root/scripts/make_installer.sh\" --sign-uninstaller \"%1\"")
else
    defines+=(-DOUT_FILE="$partial")
fi
# Warnings are errors, as in the programs' builds.
if ! log=$(makensis -WX -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$root/installer/sorvane_setup.nsi" 2>&1); then
    echo "$log" >&2
    fail "makensis failed for the $bits-bit installer"
fi
if [ $sign = yes ]; then
    rm -f "$partial"
    "$root/scripts/sign.sh" "$partial.unsigned" "$partial"
fi
chmod 644 "$partial"
mv -f "$partial" "$out"
