#!/usr/bin/env bash
# Signing of the release programs, on the .scr files of build/win64 and
# build/win32, with a throwaway certificate authority made here (everything
# stays in build/signing-test): the signed programs verify against it and
# still run under Wine, a changed byte breaks the signature, the package is
# signed or not signed as asked, and every way signing can fail stops the
# packaging with its reason, no package left and the password never shown.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/signing-test
name="Sorvane 3D Screensaver.scr"
declare -A program=([64-bit]=$root/build/win64/$name [32-bit]=$root/build/win32/$name)
declare -A scenarios=([64-bit]=$root/build/win64/tests/e2e/e2e_tests.exe
                      [32-bit]=$root/build/win32/tests/e2e/e2e_tests.exe)
for arch in 64-bit 32-bit; do
    if [ ! -f "${program[$arch]}" ] || [ ! -f "${scenarios[$arch]}" ]; then
        echo "signing test: build the $arch program and its tests first" >&2
        exit 1
    fi
done
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

failures=0
failed() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
step() { echo "-- signing test: $*"; }

# Every openssl and osslsigncode run by the scripts records its arguments, to
# prove that the password is on none of them.
mkdir bin
for tool in openssl osslsigncode; do
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/arguments.log"\nexec %s "$@"\n' "$work" "$(command -v $tool)" \
        >"bin/$tool"
    chmod +x "bin/$tool"
done

step "a test authority and its certificates"
password="correct horse 4e1f battery"
printf '%s\n' "$password" >password
printf 'not the password\n' >wrong-password
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Sorvane Test Authority" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
# name: the extensions of a certificate issued by the authority, in a PKCS#12 file of the name.
issue() {
    local name=$1
    shift
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" -days 2 -CA ca.pem \
        -CAkey ca.key -subj "/C=GB/O=Quenvale Test/CN=Sorvane Test $name" -addext basicConstraints=CA:FALSE \
        "$@" 2>/dev/null &&
        openssl pkcs12 -export -in "$name.pem" -inkey "$name.key" -certfile ca.pem -passout file:password \
            -out "$name.p12"
}
if ! issue publisher -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning ||
    ! issue website -addext extendedKeyUsage=serverAuth,clientAuth ||
    ! issue plain -addext keyUsage=critical,digitalSignature; then
    echo "signing test: openssl could not make the test certificates" >&2
    exit 1
fi
subject="CN=Sorvane Test publisher, O=Quenvale Test, C=GB"
export PATH=$work/bin:$PATH
unset SORVANE_SIGN_PKCS12 SORVANE_SIGN_PASSWORD SORVANE_SIGN_PASSWORD_FILE SORVANE_SIGN_TIMESTAMP

# file: fails unless it verifies against the test authority, by a SHA-256 digest.
verifies() {
    local log
    if log=$(osslsigncode verify -CAfile ca.pem -in "$1" 2>&1) &&
        grep -q "Message digest algorithm *: SHA256" <<<"$log"; then
        return 0
    fi
    echo "$log" | tail -n 15
    return 1
}

step "both programs signed, password from the environment"
mkdir signed
for arch in 64-bit 32-bit; do
    signed=$work/signed/$arch.scr
    SORVANE_SIGN_PKCS12=publisher.p12 SORVANE_SIGN_PASSWORD=$password \
        "$root/scripts/sign.sh" "${program[$arch]}" "$signed" >>output.log 2>&1 || { failed "$arch: sign.sh"; continue; }
    verifies "$signed" || failed "$arch: the signed program does not verify against the test authority"
    osslsigncode verify -in "$signed" >/dev/null 2>&1 &&
        failed "$arch: the signed program verifies without the test authority too"
    python3 - "$signed" "$work/signed/$arch-changed.scr" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0x01
open(sys.argv[2], "wb").write(data)
PY
    osslsigncode verify -CAfile ca.pem -in "$work/signed/$arch-changed.scr" >/dev/null 2>&1 &&
        failed "$arch: a program with one byte changed still verifies"
done

step "the signed programs under Wine: /t ends with 0, /c shows the settings dialog"
for arch in 64-bit 32-bit; do
    [ -f "signed/$arch.scr" ] || continue
    SORVANE_SCR_FILE=$work/signed/$arch.scr "$root/tests/harness/wine_run.sh" "signed-$arch" "${scenarios[$arch]}" \
        --gtest_filter='Modes/Startup.*:SettingsDialogTest.CancelAndClosingWriteNothing' >"wine-$arch.log" 2>&1
    case $? in
        0) for test in "Modes/Startup.EndsAtOnceWithExitCodeZeroAndNoWindow/0" \
                       "SettingsDialogTest.CancelAndClosingWriteNothing"; do
               grep -qF "[       OK ] $test " "wine-$arch.log" || failed "$arch: under Wine, $test did not pass:
$(tail -n 20 "wine-$arch.log")"
           done ;;
        77) echo "SKIPPED: the signed $arch program under Wine: $(tail -n 1 "wine-$arch.log")" ;;
        *) failed "$arch: the signed program under Wine:
$(tail -n 40 "wine-$arch.log")" ;;
    esac
done

package() { "$root/scripts/package.sh" --prebuilt "${program[64-bit]}" "${program[32-bit]}" --dist "$1"; }

step "the package signed, password from a file"
SORVANE_SIGN_PKCS12=publisher.p12 SORVANE_SIGN_PASSWORD_FILE=password package signed-dist >>output.log 2>&1 ||
    failed "package.sh with the publisher's certificate: $(tail -n 5 output.log)"
for arch in 64-bit 32-bit; do
    verifies "signed-dist/$arch/$name" || failed "$arch: the packaged program is not signed"
done
(cd signed-dist && sha256sum --quiet -c SHA256SUMS) || failed "SHA256SUMS does not match the signed files"
tr -d '\r' <signed-dist/README.txt | grep -qx "  $subject" ||
    failed "README.txt does not name the signer \"$subject\""

step "the package not signed without a certificate"
package unsigned-dist >>output.log 2>&1 || failed "package.sh without a certificate: $(tail -n 5 output.log)"
for arch in 64-bit 32-bit; do
    cmp -s "${program[$arch]}" "unsigned-dist/$arch/$name" || failed "$arch: the unsigned package changed the program"
done
grep -q "The files are not signed" unsigned-dist/README.txt || failed "README.txt of the unsigned package does not say so"
grep -q "signed with Authenticode" unsigned-dist/README.txt && failed "README.txt of the unsigned package names a signer"

step "each way signing fails stops the packaging and leaves no package"
printf 'not a program\n' >not-a-program.scr
# what | certificate | password file | time-stamp server | 32-bit file | message
cases=(
    "wrong password|publisher.p12|wrong-password||${program[32-bit]}|wrong password"
    "a certificate for web sites|website.p12|password||${program[32-bit]}|is not for code signing: its extended key usage is TLS Web Server"
    "a certificate without usages|plain.p12|password||${program[32-bit]}|is not for code signing: its extended key usage is missing"
    "an unreachable time-stamp server|publisher.p12|password|http://127.0.0.1:9/|${program[32-bit]}|RFC 3161 timestamping failed"
    "a 32-bit file that cannot be signed|publisher.p12|password||$work/not-a-program.scr|not-a-program.scr failed"
)
for case in "${cases[@]}"; do
    IFS='|' read -r what certificate password_file timestamp file32 message <<<"$case"
    rm -rf failed-dist
    cp -r signed-dist failed-dist
    SORVANE_SIGN_PKCS12=$certificate SORVANE_SIGN_PASSWORD_FILE=$password_file SORVANE_SIGN_TIMESTAMP=$timestamp \
        "$root/scripts/package.sh" --prebuilt "${program[64-bit]}" "$file32" --dist failed-dist >case.log 2>&1
    rc=$?
    cat case.log >>output.log
    [ $rc != 0 ] || failed "$what: package.sh succeeded"
    grep -qF "$message" case.log || failed "$what: expected the message \"$message\", got:
$(cat case.log)"
    [ ! -e failed-dist ] || failed "$what: left a package: $(find failed-dist -type f | tr '\n' ' ')"
done
mkdir -p not-a-package
touch not-a-package/keep
package not-a-package >case.log 2>&1 && failed "package.sh replaced a folder that is no package"
[ -e not-a-package/keep ] || failed "package.sh deleted a folder that is no package"
leftovers=$(find "$work" -name '.signing.*' -o -name '.*.partial.*')
[ -z "$leftovers" ] || failed "signing left work folders behind: $leftovers"

step "the password on no command line and in no output"
[ -s arguments.log ] || failed "no openssl or osslsigncode run was recorded"
grep -qF "correct horse" arguments.log output.log && failed "the password shows: $(grep -F "correct horse" arguments.log output.log)"

if [ $failures = 0 ]; then
    echo "== signing test: passed"
else
    echo "== signing test: $failures failed (logs in ${work#"$root"/})" >&2
    exit 1
fi
