#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's packages, Wine's 32-bit
# side included where the kernel runs 32-bit programs, and unpacks pugixml's
# source into third_party/ (git-ignored). Safe to run again.
#
# A package index that fails to download (a mirror in the middle of a sync)
# does not stop setup while what it needs can still be had from the indexes
# that did download; setup stops only when a needed package cannot be had, and
# says which. It never ends with either Wine launcher missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive

packages=(cmake g++ make googletest libgtest-dev
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
          xvfb xauth libgl1-mesa-dri imagemagick dpkg-dev python3 openssl osslsigncode iproute2
          clang libclang-rt-14-dev clang-tidy cppcheck
          # Two monitors side by side for the main program's tests (tests/harness/wine_run.sh).
          xserver-xorg-core xserver-xorg-video-dummy
          # The installer: makensis with its Unicode stubs and plugins.
          nsis)
wine_packages=(wine64)
# The main program's audio tests: fixtures made by sox and ffmpeg, and the
# GStreamer plugins through which Wine's Media Foundation decodes. Installed
# with Wine, whose architectures they must match.
audio_packages=(sox libsox-fmt-all ffmpeg)
gstreamer_plugins=(gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav)
wine_packages+=("${gstreamer_plugins[@]}")
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The 32-bit side of Wine only where 32-bit programs can run at all.
if reason=$("$root/scripts/probe_32bit.sh"); then
    # Mesa's OpenGL for 32-bit programs: Direct3D under Wine draws with it.
    wine_packages+=(wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386)
    wine_packages+=("${gstreamer_plugins[@]/%/:i386}")
else
    echo "setup: $reason; Wine's 32-bit side is not installed and the 32-bit tests will be skipped" >&2
fi

packages+=("${audio_packages[@]}")
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
missing_wine=()
for p in "${wine_packages[@]}"; do installed "$p" || missing_wine+=("$p"); done
[ -x "$wine64" ] || missing_wine+=(wine64)

sources=/etc/apt/sources.list.d/debian.sources
need_source=0
[ -f "$root/third_party/pugixml/src/pugixml.cpp" ] || need_source=1
# Source indexes too for the main program's decoders' libraries, built
# from source (scripts/build_audio_codecs.sh, below).
need_sources_index=$need_source
[ -f "$root/third_party/audio_codecs/.versions" ] || need_sources_index=1

need_update=0
if [[ " ${wine_packages[*]} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_wine[@]} -gt 0 ] || [ $need_sources_index -eq 1 ]; then
    need_update=1
fi

if [ $need_update -eq 1 ]; then
    if [ $need_sources_index -eq 1 ] && [ -f "$sources" ] && ! grep -q '^Types:.*deb-src' "$sources"; then
        sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
    fi
    if [ $need_sources_index -eq 1 ] && ! grep -rqs '^deb-src\|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        echo "setup: no source index could be enabled for pugixml and the audio decoders" >&2
        exit 1
    fi
    # Some index may fail to download while the others are current; what is
    # needed is checked below against the indexes that did download.
    if ! apt-get update -qq; then
        echo "setup: some package indexes could not be downloaded (listed above); going on with the others" >&2
    fi
fi

# Every package asked for must be offered by some index.
for p in "${missing[@]}" "${missing_wine[@]}"; do
    if ! grep -q 'Candidate: [^(]' <<<"$(apt-cache policy "$p" 2>/dev/null)"; then
        echo "setup: the package $p cannot be had from any package index; stopping" >&2
        exit 1
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's two sides must come in versions that both architectures have. When
# an i386 index is stale, apt would resolve the plain install by removing
# wine64; then the install is resolved against the suites whose indexes both
# architectures have, downgrading what came from the others where it must.
install_wine() {
    local request=("$@") plan remove attempt
    if plan=$(apt-get -s install --no-install-recommends "${request[@]}" 2>&1) && ! grep -q '^Remv ' <<<"$plan"; then
        echo "setup: installing ${request[*]}"
        apt-get install -y -qq --no-install-recommends "${request[@]}" >/dev/null
        return
    fi
    local lists
    lists=$(mktemp -d)
    trap 'rm -rf "$lists"' RETURN
    echo "setup: the plain install of ${request[*]} cannot be resolved without removing packages;" \
         "resolving it against the suites that have indexes for both amd64 and i386" >&2
    python3 "$root/scripts/complete_suites.py" "$lists/complete.list" | sed 's/^/setup:   /' >&2
    local only=(-o Dir::Etc::sourcelist=/dev/null -o "Dir::Etc::sourceparts=$lists")
    for attempt in 1 2 3 4 5; do
        plan=$(apt-get "${only[@]}" -s --allow-downgrades install --no-install-recommends "${request[@]}" 2>&1) || true
        remove=$(sed -n 's/^Remv \([^ ]*\) .*/\1/p' <<<"$plan")
        if [ -z "$remove" ] && grep -q '^Inst \|^0 upgraded' <<<"$plan" && ! grep -q '^E:' <<<"$plan"; then
            echo "setup: installing ${request[*]} from those suites" >&2
            apt-get "${only[@]}" install -y -qq --allow-downgrades --no-install-recommends "${request[@]}" >/dev/null
            return
        fi
        # Keep what would be removed: at the version those suites have, when
        # the installed one came from a suite left out.
        local added=0 p version
        for p in $remove; do
            version=$(apt-cache "${only[@]}" madison "$p" 2>/dev/null | awk -F'|' 'NR==1 {gsub(/ /, "", $2); print $2}')
            [ -n "$version" ] || continue
            if [ "$(dpkg-query -W -f='${Version}' "$p" 2>/dev/null)" = "$version" ]; then
                request+=("$p")
            else
                request+=("$p=$version")
                echo "setup:   $p goes to version $version, which both architectures have" >&2
            fi
            added=1
        done
        [ $added -eq 1 ] || break
    done
    echo "setup: ${request[*]} cannot be installed side by side from the package indexes at hand:" >&2
    grep -E '^(E:| )' <<<"$plan" >&2 || true
    return 1
}

if [ ${#missing_wine[@]} -gt 0 ]; then
    # A resolution that would remove an installed package (wine64 among them)
    # puts it back into the request, so nothing is dropped.
    install_wine $(printf '%s\n' "${missing_wine[@]}" | awk '!seen[$0]++') || wine_failed=1
fi
if [ ! -x "$wine64" ]; then
    echo "setup: Wine's 64-bit launcher $wine64 is missing after the install; stopping" >&2
    exit 1
fi
if [[ " ${wine_packages[*]} " == *" wine32:i386 "* ]] && [ ! -x "$wine32" ]; then
    echo "setup: Wine's 32-bit launcher $wine32 is missing: the 32-bit tests cannot run; stopping" >&2
    exit 1
fi
[ -z "${wine_failed:-}" ] || exit 1

if [ $need_source -eq 1 ]; then
    tmp=$(mktemp -d); chmod 755 "$tmp"
    (cd "$tmp" && apt-get source -qq --download-only pugixml >/dev/null && dpkg-source -x --skip-patches ./pugixml_*.dsc pugixml >/dev/null 2>&1 || dpkg-source -x ./pugixml_*.dsc pugixml >/dev/null)
    mkdir -p "$root/third_party"
    rm -rf "$root/third_party/pugixml"
    mv "$tmp/pugixml" "$root/third_party/pugixml"
    rm -rf "$tmp"
fi
"$root/scripts/build_audio_codecs.sh"
echo "setup: ready"
