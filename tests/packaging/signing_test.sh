#!/usr/bin/env bash
# Signing of the release programs, on the .scr files of build/win64 and
# build/win32, with a throwaway certificate authority made here (everything
# stays in build/signing-test): the signed programs verify against it and
# still run under Wine, a changed byte breaks the signature, the package is
# signed or not signed as asked (the installers, and the uninstallers they
# write under Wine, too), a legacy PKCS#12 file still signs, every way
# signing can fail stops the packaging with its reason and no package left,
# the package's folder is replaced only when it holds an earlier package, and
# the password is never shown nor left in a started process's environment.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/signing-test
name="Sorvane 3D Screensaver.scr"
main="Sorvane 3D Screensaver.exe"
setup="Sorvane 3D Screensaver Setup.exe"
declare -A program=([64-bit]=$root/build/win64/$name [32-bit]=$root/build/win32/$name)
declare -A installer_tests=([64-bit]=$root/build/win64/tests/installer/installer_tests.exe
                            [32-bit]=$root/build/win32/tests/installer/installer_tests.exe)
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

# Every openssl and osslsigncode run by the scripts records its arguments and
# its environment, to prove that the password is in none of them.
mkdir bin
for tool in openssl osslsigncode; do
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/arguments.log"\nenv >>"%s/environment.log"\nexec %s "$@"\n' \
        "$work" "$work" "$(command -v $tool)" >"bin/$tool"
    chmod +x "bin/$tool"
done
# An osslsigncode older than the scripts need.
mkdir old-osslsigncode
printf '#!/bin/sh\necho "osslsigncode 2.4, using:"\n' >old-osslsigncode/osslsigncode
chmod +x old-osslsigncode/osslsigncode

step "a test authority and its certificates"
password="correct horse 4e1f battery"
printf '%s\n' "$password" >password
printf 'not the password\n' >wrong-password
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Sorvane Test Authority" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
# name days: the extensions of a certificate issued by the authority, valid
# from now for that many days, in a PKCS#12 file of the name.
issue() {
    local name=$1 days=$2
    shift 2
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" -days "$days" -CA ca.pem \
        -CAkey ca.key -subj "/C=GB/O=Quenvale Test/CN=Sorvane Test $name" -addext basicConstraints=CA:FALSE \
        "$@" 2>/dev/null &&
        openssl pkcs12 -export -in "$name.pem" -inkey "$name.key" -certfile ca.pem -passout file:password \
            -out "$name.p12"
}
# name from to: a code-signing certificate valid between two dates (YYYYMMDDHHMMSSZ).
issue_dated() {
    local name=$1
    openssl req -new -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" \
        -subj "/C=GB/O=Quenvale Test/CN=Sorvane Test $name" -addext basicConstraints=CA:FALSE \
        -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning 2>/dev/null &&
        openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in "$name.csr" -out "$name.pem" -notext \
            -startdate "$2" -enddate "$3" 2>/dev/null &&
        openssl pkcs12 -export -in "$name.pem" -inkey "$name.key" -certfile ca.pem -passout file:password \
            -out "$name.p12"
}
cat >ca.cnf <<'CONF'
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = copy
[any]
countryName = optional
organizationName = optional
commonName = supplied
CONF
touch index.txt
echo 01 >serial
if ! issue publisher 365 -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning ||
    ! issue expiring 10 -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning ||
    ! issue website 365 -addext extendedKeyUsage=serverAuth,clientAuth ||
    ! issue plain 365 -addext keyUsage=critical,digitalSignature ||
    ! issue_dated expired 20200101000000Z 20210101000000Z ||
    ! issue_dated future 20900101000000Z 20910101000000Z ||
    ! openssl pkcs12 -export -legacy -in publisher.pem -inkey publisher.key -certfile ca.pem -passout file:password \
        -out legacy.p12; then
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

step "what signing warns of, and a legacy PKCS#12 file"
# what | certificate | expected warning or note | one it must not give
cases=(
    "no time-stamp server|publisher.p12|the signature dies with the certificate|expires within 30 days"
    "a certificate expiring in 10 days|expiring.p12|expires within 30 days|legacy encryption"
    "a legacy PKCS#12 file|legacy.p12|read through OpenSSL's legacy provider|expires within 30 days"
)
for case in "${cases[@]}"; do
    IFS='|' read -r what certificate message not_message <<<"$case"
    rm -f warned.scr
    SORVANE_SIGN_PKCS12=$certificate SORVANE_SIGN_PASSWORD_FILE=password \
        "$root/scripts/sign.sh" "${program[64-bit]}" warned.scr >case.log 2>&1 || failed "$what: sign.sh failed:
$(cat case.log)"
    cat case.log >>output.log
    grep -qF "$message" case.log || failed "$what: expected \"$message\", got:
$(cat case.log)"
    grep -qF "$not_message" case.log && failed "$what: said \"$not_message\" too"
    [ -f warned.scr ] && { verifies warned.scr || failed "$what: the signed program does not verify"; }
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
    for file in "$name" "$main" "$setup"; do
        verifies "signed-dist/$arch/$file" || failed "$arch: the packaged $file is not signed"
    done
done
(cd signed-dist && sha256sum --quiet -c SHA256SUMS) || failed "SHA256SUMS does not match the signed files"
[ "$(wc -l <signed-dist/SHA256SUMS)" = 6 ] || failed "SHA256SUMS does not list the six files: $(cat signed-dist/SHA256SUMS)"

step "the signed installers install under Wine, and the uninstallers they write are signed"
# Run by the harness in a prefix of its own: the installer given, silently,
# then the uninstaller it wrote copied out.
cat >install_signed.sh <<'SCRIPT'
"$WINE" "$2" /S || { echo "the installer ended with $?" >&2; exit 1; }
uninstaller=$(find "$WINEPREFIX/drive_c" -path '*/Sorvane 3D Screensaver/Uninstall.exe' | head -n1)
[ -n "$uninstaller" ] && cp "$uninstaller" "$3"
SCRIPT
for arch in 64-bit 32-bit; do
    SORVANE_DLL_OVERRIDES=winemenubuilder.exe=d "$root/tests/harness/wine_run.sh" "signed-setup-$arch" \
        "$work/install_signed.sh" "${installer_tests[$arch]}" "$work/signed-dist/$arch/$setup" \
        "$work/uninstaller-$arch.exe" >"setup-$arch.log" 2>&1
    case $? in
        0) verifies "uninstaller-$arch.exe" || failed "$arch: the uninstaller that the installer wrote is not signed" ;;
        77) echo "SKIPPED: the signed $arch installer under Wine: $(tail -n 1 "setup-$arch.log")" ;;
        *) failed "$arch: the signed installer under Wine:
$(tail -n 20 "setup-$arch.log")" ;;
    esac
done
tr -d '\r' <signed-dist/README.txt | grep -qx "  $subject" ||
    failed "README.txt does not name the signer \"$subject\""

step "the package not signed without a certificate"
package unsigned-dist >>output.log 2>&1 || failed "package.sh without a certificate: $(tail -n 5 output.log)"
for arch in 64-bit 32-bit; do
    for file in "$name" "$main"; do
        cmp -s "$(dirname "${program[$arch]}")/$file" "unsigned-dist/$arch/$file" ||
            failed "$arch: the unsigned package changed $file"
    done
    # Made elsewhere from the same programs by the build: the same bytes.
    cmp -s "$(dirname "${installer_tests[$arch]}")/sorvane_setup.exe" "unsigned-dist/$arch/$setup" ||
        failed "$arch: the unsigned installer differs from the build's, made of the same programs"
done
grep -q "The files are not signed" unsigned-dist/README.txt || failed "README.txt of the unsigned package does not say so"
grep -q "signed with Authenticode" unsigned-dist/README.txt && failed "README.txt of the unsigned package names a signer"

step "each way signing fails stops the packaging and leaves no package"
printf 'not a program\n' >not-a-program.scr
cp "$(dirname "${program[32-bit]}")/$main" .
# what | certificate | password file | time-stamp server | 32-bit file | message
cases=(
    "wrong password|publisher.p12|wrong-password||${program[32-bit]}|wrong password"
    "a certificate for web sites|website.p12|password||${program[32-bit]}|is not for code signing: its extended key usage is TLS Web Server"
    "a certificate without usages|plain.p12|password||${program[32-bit]}|is not for code signing: its extended key usage is missing"
    "an unreachable time-stamp server|publisher.p12|password|http://127.0.0.1:9/|${program[32-bit]}|RFC 3161 timestamping failed"
    "a 32-bit file that cannot be signed|publisher.p12|password||$work/not-a-program.scr|not-a-program.scr failed"
    "an expired certificate|expired.p12|password||${program[32-bit]}|expired on Jan  1 00:00:00 2021 GMT"
    "a certificate not yet valid|future.p12|password||${program[32-bit]}|is not valid before Jan  1 00:00:00 2090 GMT"
    "an osslsigncode too old|publisher.p12|password||${program[32-bit]}|osslsigncode 2.4 is too old; version 2.5 or later is needed|$work/old-osslsigncode"
)
for case in "${cases[@]}"; do
    IFS='|' read -r what certificate password_file timestamp file32 message tools <<<"$case"
    rm -rf failed-dist
    cp -r signed-dist failed-dist
    PATH=${tools:+$tools:}$PATH SORVANE_SIGN_PKCS12=$certificate SORVANE_SIGN_PASSWORD_FILE=$password_file \
        SORVANE_SIGN_TIMESTAMP=$timestamp \
        "$root/scripts/package.sh" --prebuilt "${program[64-bit]}" "$file32" --dist failed-dist >case.log 2>&1
    rc=$?
    cat case.log >>output.log
    [ $rc != 0 ] || failed "$what: package.sh succeeded"
    grep -qF "$message" case.log || failed "$what: expected the message \"$message\", got:
$(cat case.log)"
    [ ! -e failed-dist ] || failed "$what: left a package: $(find failed-dist -type f | tr '\n' ' ')"
done

step "the package's folder: replaced only when empty or an earlier package"
# what | how the folder is made | what must stay of it
cases=(
    "a folder with a file of its own|mkdir not-a-package; touch not-a-package/keep|not-a-package/keep"
    "a regular file|printf 'notes\\n' >not-a-package|not-a-package"
    "an earlier package with a file of its own below its top|cp -r signed-dist not-a-package; touch not-a-package/64-bit/notes.txt|not-a-package/64-bit/notes.txt"
    "an earlier package with a changed file|cp -r signed-dist not-a-package; printf 'x' >>not-a-package/README.txt; printf 'x' >>'not-a-package/32-bit/$name'|not-a-package/32-bit/$name"
    "a link to an earlier package|ln -s signed-dist not-a-package|signed-dist/SHA256SUMS"
)
for case in "${cases[@]}"; do
    IFS='|' read -r what make kept <<<"$case"
    rm -rf not-a-package
    eval "$make"
    before=$(find not-a-package/ signed-dist -exec stat -c '%n %s %Y' {} + 2>/dev/null | sort | sha256sum)
    package not-a-package >case.log 2>&1 && failed "package.sh replaced $what"
    grep -q "choose another folder" case.log || failed "$what: no reason given: $(cat case.log)"
    [ -e "$kept" ] || failed "package.sh deleted $kept of $what"
    after=$(find not-a-package/ signed-dist -exec stat -c '%n %s %Y' {} + 2>/dev/null | sort | sha256sum)
    [ "$before" = "$after" ] || failed "package.sh changed $what"
done
rm -rf not-a-package && mkdir not-a-package
package not-a-package >case.log 2>&1 || failed "package.sh refused an empty folder: $(cat case.log)"
cp -r unsigned-dist earlier-package
package earlier-package >case.log 2>&1 || failed "package.sh refused an earlier package: $(cat case.log)"
leftovers=$(find "$work" -name '.signing.*' -o -name '.*.partial.*')
[ -z "$leftovers" ] || failed "signing left work folders behind: $leftovers"

step "the password on no command line, in no environment and in no output"
[ -s arguments.log ] && [ -s environment.log ] || failed "no openssl or osslsigncode run was recorded"
step "  (the package, with the password in the environment)"
SORVANE_SIGN_PKCS12=publisher.p12 SORVANE_SIGN_PASSWORD=$password package env-dist >>output.log 2>&1 ||
    failed "package.sh with the password in the environment: $(tail -n 5 output.log)"
grep -qF "correct horse" arguments.log environment.log output.log &&
    failed "the password shows: $(grep -lF "correct horse" arguments.log environment.log output.log | tr '\n' ' ')"

if [ $failures = 0 ]; then
    echo "== signing test: passed"
else
    echo "== signing test: $failures failed (logs in ${work#"$root"/})" >&2
    exit 1
fi
