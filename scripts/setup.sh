#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's packages, and unpacks
# pugixml's source into third_party/ (git-ignored). Safe to run again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake g++ make googletest libgtest-dev
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
          wine64 xvfb xauth libgl1-mesa-dri imagemagick dpkg-dev python3 openssl
          clang libclang-rt-14-dev clang-tidy cppcheck)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sources=/etc/apt/sources.list.d/debian.sources
need_source=0
[ -f "$root/third_party/pugixml/src/pugixml.cpp" ] || need_source=1

if [ ${#missing[@]} -gt 0 ] || [ $need_source -eq 1 ]; then
    if [ $need_source -eq 1 ] && [ -f "$sources" ] && ! grep -q '^Types:.*deb-src' "$sources"; then
        sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
    fi
    if [ $need_source -eq 1 ] && ! grep -rqs '^deb-src\|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        echo "setup: no source index could be enabled for pugixml" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ $need_source -eq 1 ]; then
    tmp=$(mktemp -d); chmod 755 "$tmp"
    (cd "$tmp" && apt-get source -qq --download-only pugixml >/dev/null && dpkg-source -x --skip-patches ./pugixml_*.dsc pugixml >/dev/null 2>&1 || dpkg-source -x ./pugixml_*.dsc pugixml >/dev/null)
    mkdir -p "$root/third_party"
    rm -rf "$root/third_party/pugixml"
    mv "$tmp/pugixml" "$root/third_party/pugixml"
    rm -rf "$tmp"
fi
echo "setup: ready"
