#!/usr/bin/env bash
# Signs a screensaver file with Authenticode (SHA-256) by osslsigncode, with
# the publisher's code-signing certificate and key from a PKCS#12 file.
#   scripts/sign.sh --check     check the certificate; print its subject
#   scripts/sign.sh IN OUT      check it, then write OUT: IN signed
# OUT must not exist yet; it appears only when the signing succeeded.
# Environment (the password never goes on a command line, nor is printed):
#   SORVANE_SIGN_PKCS12          the PKCS#12 file (.pfx, .p12): key and certificate
#   SORVANE_SIGN_PASSWORD_FILE   a file whose first line is its password, or
#   SORVANE_SIGN_PASSWORD        the password itself
#   SORVANE_SIGN_TIMESTAMP       optional: an RFC 3161 time-stamp server's address
set -euo pipefail

fail() {
    echo "sign: $*" >&2
    exit 1
}

pkcs12=${SORVANE_SIGN_PKCS12:-}
[ -n "$pkcs12" ] || fail "no certificate: set SORVANE_SIGN_PKCS12 to a PKCS#12 file"
[ -r "$pkcs12" ] || fail "cannot read the certificate file $pkcs12"
if [ -n "${SORVANE_SIGN_PASSWORD_FILE:-}" ]; then
    [ -r "$SORVANE_SIGN_PASSWORD_FILE" ] || fail "cannot read the password file $SORVANE_SIGN_PASSWORD_FILE"
    IFS= read -r password <"$SORVANE_SIGN_PASSWORD_FILE" || true
elif [ -n "${SORVANE_SIGN_PASSWORD+set}" ]; then
    password=$SORVANE_SIGN_PASSWORD
else
    fail "no password: set SORVANE_SIGN_PASSWORD_FILE (a file holding it) or SORVANE_SIGN_PASSWORD"
fi
password=${password%$'\r'}
# Both tools read it from their standard input; printf is a shell builtin,
# so no process ever has the password among its arguments.
feed_password() { printf '%s\n' "$password"; }

# The certificate that goes with the key, read with the password: a wrong
# password ends here, before anything is signed.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
if ! certificate=$(feed_password | openssl pkcs12 -in "$pkcs12" -passin stdin -nokeys -clcerts 2>"$errors"); then
    fail "cannot open $pkcs12 with the given password: a wrong password, or not a PKCS#12 file" \
        "(openssl: $(head -n1 "$errors"))"
fi
[ -n "$certificate" ] || fail "$pkcs12 holds no certificate for its key"
subject=$(openssl x509 -noout -subject -nameopt utf8,sep_comma_plus_space,dn_rev,sname,esc_2253,esc_ctrl \
    <<<"$certificate")
subject=${subject#subject=}
# osslsigncode signs with any certificate; Windows accepts only one made for
# code signing.
usage=$(openssl x509 -noout -ext extendedKeyUsage <<<"$certificate" 2>/dev/null | sed -n '2s/^ *//p')
if ! grep -qw "Code Signing" <<<"$usage"; then
    fail "the certificate \"$subject\" is not for code signing: its extended key usage is ${usage:-missing}"
fi

if [ "${1:-}" = --check ] && [ $# = 1 ]; then
    echo "$subject"
    exit 0
fi
[ $# = 2 ] || { echo "usage: $0 --check | IN OUT" >&2; exit 2; }
in=$1 out=$2
[ ! -e "$out" ] || fail "$out exists already"
# Signed into a folder of its own beside OUT, then renamed: OUT is either
# complete or absent.
work=$(mktemp -d "$(dirname "$out")/.signing.XXXXXX")
trap 'rm -f "$errors"; rm -rf "$work"' EXIT
timestamp=()
[ -z "${SORVANE_SIGN_TIMESTAMP:-}" ] || timestamp=(-ts "$SORVANE_SIGN_TIMESTAMP")
if ! feed_password | osslsigncode sign -pkcs12 "$pkcs12" -readpass - -h sha256 -n "Sorvane 3D Screensaver" \
    "${timestamp[@]}" -in "$in" -out "$work/signed" >"$errors" 2>&1; then
    cat "$errors" >&2
    fail "signing $in failed"
fi
mv "$work/signed" "$out"
