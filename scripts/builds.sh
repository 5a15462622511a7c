# The builds, sourced by the scripts: configure_and_build NAME
# configures build/NAME once, builds it, and fails on any compiler warning.
configure_and_build() {
    local name=$1 dir="$root/build/$1" args=()
    case $name in
        native) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
        win64) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake") ;;
        win32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
        # The native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
        asan) args=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
                    "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer") ;;
        # The native unit tests under ThreadSanitizer: the dialog's probes and
        # their threads are portable and run there.
        tsan) args=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
                    "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer") ;;
        # The libFuzzer targets of tests/fuzz, with the same sanitizers (scripts/fuzz.sh runs them).
        fuzz) args=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                    -DSORVANE_TESTS=OFF -DSORVANE_FUZZ=ON
                    "-DCMAKE_CXX_FLAGS=-O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all") ;;
    esac
    echo "== build: $name"
    [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
    # A 32-bit build configured when its tests could not run here builds them now.
    if [ "$name" = win32 ] && grep -q '^SORVANE_TESTS:BOOL=OFF' "$dir/CMakeCache.txt"; then
        cmake "$dir" -DSORVANE_TESTS=ON >/dev/null
    fi
    local log="$dir/build.log"
    if ! cmake --build "$dir" -j "$(nproc)" >"$log" 2>&1; then
        cat "$log"
        return 1
    fi
    if grep -q 'warning:' "$log"; then
        grep -B2 -A6 'warning:' "$log"
        echo "build $name has warnings" >&2
        return 1
    fi
}
