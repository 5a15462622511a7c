#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy, tests/.clang-tidy) and cppcheck
# (.cppcheck-suppressions) over the program and its tests; fails on any finding.
#
# The Windows build's compile commands cover every file the Windows programs
# and tests compile, portable code included; the native build's add the native
# unit tests and the native side of portable files that branch on _WIN32.
# Left out: third_party/ (pugixml), the fuzz targets (they build only with clang
# and libFuzzer) and bench/ (programs that print figures, not part of the
# product).
#
#   scripts/static_checks.sh            everything
#   scripts/static_checks.sh FILE...    clang-tidy on those files only, then cppcheck
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
log_dir="$root/build/static-checks"
mkdir -p "$log_dir"

configure() { # configure NAME [cmake args...]: compile commands only, nothing is built
    local dir="$root/build/static-$1" log="$log_dir/configure-$1.log"
    shift
    [ -f "$dir/compile_commands.json" ] ||
        cmake -S "$root" -B "$dir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
            -DCMAKE_CXX_USE_RESPONSE_FILE_FOR_INCLUDES=OFF "$@" >"$log" 2>&1 || { cat "$log"; exit 1; }
    # Files added since the last configure must be in the compile commands.
    cmake "$dir" >/dev/null
}
echo "== static checks: configure"
configure native -DCMAKE_BUILD_TYPE=Debug
configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"

# The files of one compile-commands database that belong to the project.
project_files() {
    python3 - "$root" "$root/build/static-$1/compile_commands.json" <<'EOF'
import json, os, sys
root, db = sys.argv[1], sys.argv[2]
seen = set()
for entry in json.load(open(db)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    if rel.startswith(("..", "third_party/", "build/", "tests/fuzz/", "bench/")) or rel in seen:
        continue
    seen.add(rel)
    print(rel)
EOF
}

win_files=$(project_files win64)
native_files=$(project_files native | while read -r f; do
    case $f in
        tests/unit/*) echo "$f" ;;
        tests/*|bench/*) ;;
        *) if grep -qs '_WIN32' "$f" "${f%.cpp}.h"; then echo "$f"; fi ;;
    esac
done)
if [ $# -gt 0 ]; then
    wanted=$(printf '%s\n' "$@" | sed "s|^$root/||")
    win_files=$(grep -xF "$wanted" <<<"$win_files" || true)
    native_files=$(grep -xF "$wanted" <<<"$native_files" || true)
fi

# clang needs the mingw-w64 C++ library and C headers, which only the cross
# compiler knows where to find; its own builtin headers it brings itself.
win_args=(--extra-arg=--target=x86_64-w64-mingw32)
while read -r dir; do
    case $dir in
        */include/c++*|*/x86_64-w64-mingw32/include) win_args+=("--extra-arg=-isystem$dir") ;;
    esac
done < <(x86_64-w64-mingw32-g++-posix -xc++ -E -v - </dev/null 2>&1 |
    sed -n '/#include <...> search starts here:/,/End of search list./p' | sed 's/^ *//' |
    while read -r d; do realpath -m "$d"; done)

status=0
tidy() { # tidy NAME [extra args...] < files
    local name=$1 out="$log_dir/clang-tidy-$1.log"
    shift
    local files
    files=$(cat)
    [ -n "$files" ] || return 0
    echo "== clang-tidy ($name): $(wc -l <<<"$files") files"
    if ! xargs -P "$jobs" -n 1 clang-tidy -p "$root/build/static-$name" --quiet --warnings-as-errors='*' "$@" \
        <<<"$files" >"$out" 2>&1; then
        grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$out" || true
        echo "clang-tidy ($name) has findings; the log is $out" >&2
        status=1
    fi
}
start=$(date +%s)
tidy win64 "${win_args[@]}" <<<"$win_files"
tidy native <<<"$native_files"
echo "== clang-tidy took $(($(date +%s) - start)) s"

# cppcheck takes the same files: a compile-commands database holding only them.
project_database() { # project_database NAME FILES
    python3 - "$root" "$root/build/static-$1/compile_commands.json" "$2" <<'EOF'
import json, os, sys
root, db, wanted = sys.argv[1], sys.argv[2], set(sys.argv[3].split())
kept = [e for e in json.load(open(db))
        if os.path.relpath(os.path.normpath(os.path.join(e["directory"], e["file"])), root) in wanted]
json.dump(kept, sys.stdout, indent=1)
EOF
}

start=$(date +%s)
echo "== cppcheck"
for name in native win64; do
    library=(--library=googletest)
    [ "$name" = win64 ] && library+=(--library=windows)
    project_database "$name" "$(project_files "$name")" >"$log_dir/cppcheck-$name.json"
    if ! cppcheck --project="$log_dir/cppcheck-$name.json" -j "$jobs" --quiet \
        --std=c++17 --enable=warning,style,performance,portability "${library[@]}" \
        --suppressions-list="$root/.cppcheck-suppressions" --inline-suppr --error-exitcode=1 \
        --template='{file}:{line}:{column}: {severity}: {message} [{id}]' \
        --cppcheck-build-dir="$(mkdir -p "$log_dir/cppcheck-$name" && echo "$log_dir/cppcheck-$name")" \
        >"$log_dir/cppcheck-$name.log" 2>&1; then
        cat "$log_dir/cppcheck-$name.log"
        echo "cppcheck ($name) has findings" >&2
        status=1
    fi
done
echo "== cppcheck took $(($(date +%s) - start)) s"
[ $status -eq 0 ] && echo "== static checks: clean"
exit $status
