#!/usr/bin/env bash
# Builds the main program's own audio decoders' libraries (libogg, libvorbis
# with vorbisfile, libFLAC) with mingw-w64 for both Windows builds, from
# Debian's source packages, as static libraries optimised for size:
#   third_party/audio_codecs/{win64,win32}/{include,lib}
# Run by scripts/setup.sh; does nothing when the built versions are current.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/third_party/audio_codecs
sources=(libogg libvorbis flac)

# The versions Debian offers now; a build of other versions is redone.
wanted=$(for s in "${sources[@]}"; do
    apt-cache showsrc "$s" 2>/dev/null | awk -v s="$s" '$1 == "Version:" { print s, $2; exit }'
done)
if [ -z "$wanted" ] || [ "$(wc -l <<<"$wanted")" -ne ${#sources[@]} ]; then
    echo "build_audio_codecs: the source packages ${sources[*]} are not in the package indexes" >&2
    exit 1
fi
[ -f "$out/.versions" ] && [ "$(cat "$out/.versions")" = "$wanted" ] &&
    [ -f "$out/win64/lib/libFLAC.a" ] && [ -f "$out/win32/lib/libFLAC.a" ] && exit 0

work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq --download-only "${sources[@]}" >/dev/null 2>&1)
for dsc in "$work"/*.dsc; do (cd "$work" && dpkg-source -x "$dsc" >/dev/null 2>&1); done
src() { find "$work" -maxdepth 1 -type d -name "$1-*" | head -n1; }

flags="-Os -ffunction-sections -fdata-sections"
build() { # arch prefix name source-dir cmake-arguments...
    local arch=$1 prefix=$2 name=$3 dir=$4
    shift 4
    echo "build_audio_codecs: $name for $arch"
    cmake -S "$dir" -B "$work/build-$arch-$name" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS_RELEASE="$flags -DNDEBUG" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=OFF -DCMAKE_POLICY_DEFAULT_CMP0077=NEW "$@" >"$work/$arch-$name.log" 2>&1 ||
        { cat "$work/$arch-$name.log"; return 1; }
    cmake --build "$work/build-$arch-$name" -j "$(nproc)" >>"$work/$arch-$name.log" 2>&1 &&
        cmake --install "$work/build-$arch-$name" >>"$work/$arch-$name.log" 2>&1 ||
        { tail -n 40 "$work/$arch-$name.log"; return 1; }
}

rm -rf "$out"
for pair in x86_64:win64 i686:win32; do
    arch=${pair%%:*}
    prefix=$out/${pair##*:}
    build "$arch" "$prefix" libogg "$(src libogg)" -DINSTALL_DOCS=OFF
    ogg=(-DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a")
    build "$arch" "$prefix" libvorbis "$(src libvorbis)" "${ogg[@]}"
    # The decoder alone: no Ogg FLAC, no programs, no C++ library.
    build "$arch" "$prefix" flac "$(src flac)" -DWITH_OGG=OFF -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF \
        -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF \
        -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
done
echo "$wanted" >"$out/.versions"
