#!/usr/bin/env bash
# Makes the product's installer with makensis (Debian's nsis) from
# installer/sorvane_setup.nsi, holding the given screensaver and main program.
#   scripts/make_installer.sh [--password-stdin] --bits 32|64 --scr FILE --main FILE --out FILE [--sign]
# --sign: the uninstaller inside is signed while makensis makes it
# (!uninstfinalize), and the installer after, by scripts/sign.sh with its
# certificate (SORVANE_SIGN_PKCS12). The password is read once, from the first
# line of standard input with --password-stdin, else as sign.sh reads it, and
# reaches the signing of the uninstaller through an inherited descriptor,
# never a command line or the environment. OUT appears only when everything
# succeeded.
set -euo pipefail
# The password first, before any other program starts (builtins only).
case $0 in */*) scripts=${0%/*} ;; *) scripts=. ;; esac
source "$scripts/signing_password.sh"

fail() {
    echo "make_installer: $*" >&2
    exit 1
}
# sign.sh, given the password on its standard input.
sign() { printf '%s\n' "$password" | "$scripts/sign.sh" --password-stdin "$@"; }

# Run by makensis for the uninstaller it has just made: the file is signed in
# place, with the password from descriptor 3.
if [ "${1:-}" = --sign-uninstaller ] && [ $# = 2 ]; then
    IFS= read -r password <&3 || fail "no password for the uninstaller's signature"
    sign "$2" "$2.signed"
    mv -f "$2.signed" "$2"
    exit 0
fi

password=""
if [ "${1:-}" = --password-stdin ]; then
    shift
    IFS= read -r password || true
    password=${password%$'\r'}
    unset SORVANE_SIGN_PASSWORD SORVANE_SIGN_PASSWORD_FILE
elif [[ " $* " == *" --sign "* ]] && ! read_signing_password; then
    fail "$password_error"
fi
root=$(cd "$scripts/.." && pwd)

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
    # makensis signs the uninstaller from the script's folder.
    [ -z "${SORVANE_SIGN_PKCS12:-}" ] || export SORVANE_SIGN_PKCS12=$(realpath "$SORVANE_SIGN_PKCS12")
    defines+=(-DOUT_FILE="$partial.unsigned"
              "-DSIGN_UNINSTALLER=\"$root/scripts/make_installer.sh\" --sign-uninstaller \"%1\"")
    exec 3<<<"$password"
else
    defines+=(-DOUT_FILE="$partial")
fi
# Warnings are errors, as in the programs' builds.
if ! log=$(makensis -WX -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$root/installer/sorvane_setup.nsi" 2>&1); then
    echo "$log" >&2
    fail "makensis failed for the $bits-bit installer"
fi
if [ $sign = yes ]; then
    exec 3<&-
    rm -f "$partial"
    sign "$partial.unsigned" "$partial"
fi
chmod 755 "$partial"
mv -f "$partial" "$out"
