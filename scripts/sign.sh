#!/usr/bin/env bash
# Signs a screensaver file with Authenticode (SHA-256) by osslsigncode, with
# the publisher's code-signing certificate and key from a PKCS#12 file.
#   scripts/sign.sh [--password-stdin] --check   check the certificate; print its subject
#   scripts/sign.sh [--password-stdin] IN OUT    check it, then write OUT: IN signed
# OUT must not exist yet; it appears only when the signing succeeded.
# Environment (the password never goes on a command line, nor is printed, and
# is read once and taken out of the environment before anything is started):
#   SORVANE_SIGN_PKCS12          the PKCS#12 file (.pfx, .p12): key and certificate
#   SORVANE_SIGN_PASSWORD_FILE   a file whose first line is its password, or
#   SORVANE_SIGN_PASSWORD        the password itself; with --password-stdin
#                                the first line of standard input instead
#   SORVANE_SIGN_TIMESTAMP       optional: an RFC 3161 time-stamp server's address
# The certificate must be valid now and made for code signing; one that
# expires within 30 days, and a signature without a time stamp, are warned
# about. A PKCS#12 file with legacy encryption (RC2 or 3DES, as older Windows
# exports it) is read through OpenSSL's legacy provider.
set -euo pipefail
fail() {
    echo "sign: $*" >&2
    exit 1
}
warn() { echo "sign: WARNING: $*" >&2; }

# The password first, before any other program starts (builtins only).
case $0 in */*) scripts=${0%/*} ;; *) scripts=. ;; esac
source "$scripts/signing_password.sh"
if [ "${1:-}" = --password-stdin ]; then
    shift
    IFS= read -r password || true
    password=${password%$'\r'}
    unset SORVANE_SIGN_PASSWORD SORVANE_SIGN_PASSWORD_FILE
elif ! read_signing_password; then
    fail "$password_error"
fi

# -readpass FILE (here /dev/stdin) and RFC 3161 time stamps, as Debian 12's own has them.
minimum_osslsigncode=2.5
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed; version $minimum_osslsigncode or later is needed"
osslsigncode_version=$(osslsigncode --version 2>&1 | sed -n '1s/^osslsigncode \([0-9][0-9.]*\).*/\1/p')
if [ -z "$osslsigncode_version" ] ||
    [ "$(printf '%s\n' "$minimum_osslsigncode" "$osslsigncode_version" | sort -V | head -n1)" != "$minimum_osslsigncode" ]; then
    fail "osslsigncode ${osslsigncode_version:-of an unknown version} is too old; version $minimum_osslsigncode or later is needed"
fi

pkcs12=${SORVANE_SIGN_PKCS12:-}
[ -n "$pkcs12" ] || fail "no certificate: set SORVANE_SIGN_PKCS12 to a PKCS#12 file"
[ -r "$pkcs12" ] || fail "cannot read the certificate file $pkcs12"
# Both tools read it from their standard input; printf is a shell builtin,
# so no process ever has the password among its arguments.
feed_password() { printf '%s\n' "$password"; }

# The certificate that goes with the key, read with the password: a wrong
# password ends here, before anything is signed.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
legacy=()
if ! certificate=$(feed_password | openssl pkcs12 -in "$pkcs12" -passin stdin -nokeys -clcerts 2>"$errors"); then
    if certificate=$(feed_password | openssl pkcs12 -legacy -in "$pkcs12" -passin stdin -nokeys -clcerts 2>/dev/null); then
        legacy=(-legacy)
        echo "sign: $pkcs12 uses legacy encryption (RC2 or 3DES, as older Windows exports it);" \
            "read through OpenSSL's legacy provider" >&2
    else
        fail "cannot open $pkcs12 with the given password: a wrong password, or not a PKCS#12 file" \
            "(openssl: $(head -n1 "$errors"))"
    fi
fi
[ -n "$certificate" ] || fail "$pkcs12 holds no certificate for its key"
subject=$(openssl x509 -noout -subject -nameopt utf8,sep_comma_plus_space,dn_rev,sname,esc_2253,esc_ctrl \
    <<<"$certificate")
subject=${subject#subject=}
# osslsigncode signs with any certificate; Windows accepts only one made for
# code signing, and valid when it checks the signature.
usage=$(openssl x509 -noout -ext extendedKeyUsage <<<"$certificate" 2>/dev/null | sed -n '2s/^ *//p')
if ! grep -qw "Code Signing" <<<"$usage"; then
    fail "the certificate \"$subject\" is not for code signing: its extended key usage is ${usage:-missing}"
fi
not_before=$(openssl x509 -noout -startdate <<<"$certificate" | sed 's/^notBefore=//')
not_after=$(openssl x509 -noout -enddate <<<"$certificate" | sed 's/^notAfter=//')
if [ "$(date -u -d "$not_before" +%s)" -gt "$(date -u +%s)" ]; then
    fail "the certificate \"$subject\" is not valid before $not_before: Windows would reject its signatures"
fi
if ! openssl x509 -noout -checkend 0 <<<"$certificate" >/dev/null; then
    fail "the certificate \"$subject\" expired on $not_after: Windows would reject its signatures"
fi
if ! openssl x509 -noout -checkend $((30 * 24 * 3600)) <<<"$certificate" >/dev/null; then
    warn "the certificate \"$subject\" expires within 30 days, on $not_after"
fi
if [ -z "${SORVANE_SIGN_TIMESTAMP:-}" ]; then
    warn "no time-stamp server (SORVANE_SIGN_TIMESTAMP): the signature dies with the certificate;" \
        "after $not_after Windows treats the signed files as unsigned"
fi

if [ "${1:-}" = --check ] && [ $# = 1 ]; then
    echo "$subject"
    exit 0
fi
[ $# = 2 ] || { echo "usage: $0 [--password-stdin] --check | IN OUT" >&2; exit 2; }
in=$1 out=$2
[ ! -e "$out" ] || fail "$out exists already"
# Signed into a folder of its own beside OUT, then renamed: OUT is either
# complete or absent.
work=$(mktemp -d "$(dirname "$out")/.signing.XXXXXX")
trap 'rm -f "$errors"; rm -rf "$work"' EXIT
if [ ${#legacy[@]} -gt 0 ]; then
    # osslsigncode gets the same key and certificates with current encryption
    # under the same password; the key goes from one openssl to the other
    # through a pipe, never through a file.
    if ! openssl pkcs12 -export -passout fd:3 -out "$work/current.p12" 3< <(feed_password) \
        -in <(openssl pkcs12 -legacy -in "$pkcs12" -passin fd:3 -nokeys 3< <(feed_password) 2>>"$errors") \
        -inkey <(openssl pkcs12 -legacy -in "$pkcs12" -passin fd:3 -nocerts -nodes 3< <(feed_password) \
            2>>"$errors") 2>>"$errors"; then
        cat "$errors" >&2
        fail "cannot re-encrypt the legacy $pkcs12"
    fi
    pkcs12=$work/current.p12
fi
timestamp=()
[ -z "${SORVANE_SIGN_TIMESTAMP:-}" ] || timestamp=(-ts "$SORVANE_SIGN_TIMESTAMP")
if ! feed_password | osslsigncode sign -pkcs12 "$pkcs12" -readpass /dev/stdin -h sha256 \
    -n "Sorvane 3D Screensaver" "${timestamp[@]}" -in "$in" -out "$work/signed" >"$errors" 2>&1; then
    cat "$errors" >&2
    fail "signing $in failed"
fi
mv "$work/signed" "$out"
