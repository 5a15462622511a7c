#!/usr/bin/env bash
# Builds the release programs and the benchmarks, runs the start-up
# benchmarks under Wine and prints one table: each row the median over
# repeated runs next to its reference measured in the same run.
#   scripts/bench.sh [rounds]                       builds build/win64 and build/win32 first
#   scripts/bench.sh [rounds] --builds DIR64 DIR32  uses two build folders built already
# A benchmark, not a test: it prints figures and fails only when a program
# could not be built or run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=11
win64=$root/build/win64
win32=$root/build/win32
prebuilt=no
while [ $# -gt 0 ]; do
    case $1 in
        --builds) win64=$(cd "$2" && pwd); win32=$(cd "$3" && pwd); prebuilt=yes; shift 3 ;;
        [0-9]*) rounds=$1; shift ;;
        *) echo "usage: $0 [rounds] [--builds DIR64 DIR32]" >&2; exit 2 ;;
    esac
done

if [ $prebuilt = no ]; then
    "$root/scripts/setup.sh"
    source "$root/scripts/builds.sh"
    configure_and_build win64
    configure_and_build win32
fi
scr64="$win64/Sorvane 3D Screensaver.scr"
scr32="$win32/Sorvane 3D Screensaver.scr"
for file in "$scr64" "$scr32" "$win64/bench/front_end_bench.exe" "$win64/bench/launch_bench.exe"; do
    [ -f "$file" ] || { echo "bench: $file is missing" >&2; exit 1; }
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "== bench: configure and preview start, $rounds rounds"
"$root/tests/harness/wine_run.sh" bench-front-end "$win64/bench/front_end_bench.exe" "$rounds" >"$out/front_end" ||
    { cat "$out/front_end"; exit 1; }
echo "== bench: run mode start, $rounds rounds"
"$root/tests/harness/wine_run.sh" bench-launch "$win64/bench/launch_bench.exe" "$rounds" >"$out/launch" ||
    { cat "$out/launch"; exit 1; }

# The median of one front_end_bench figure, and of one launch_bench line.
result() { awk -v key="$1" '$1 == "RESULT" && $2 == key { print $3; found = 1 } END { exit !found }' "$out/front_end"; }
launch() { awk -v text="$1" 'index($0, text) { for (i = 1; i < NF; i++) if ($i == "median") { print $(i + 1); found = 1 } }
                             END { exit !found }' "$out/launch"; }

table=$out/table
row() { # what, value, unit, reference, reference value, goal (the ratio it must stay under, or -)
    awk -v what="$1" -v value="$2" -v unit="$3" -v ref="$4" -v refvalue="$5" -v goal="$6" 'BEGIN {
        ratio = value / refvalue
        verdict = goal == "-" ? "" : (ratio <= goal ? sprintf("<= %.1fx holds", goal) : sprintf("<= %.1fx MISSED", goal))
        printf "| %-46s | %9.1f %-3s | %-34s | %9.1f %-3s | %6.2fx | %-16s |\n", what, value, unit, ref, refvalue, unit, ratio, verdict
    }' >>"$table"
}
size_kib() { awk -v bytes="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", bytes / 1024 }'; }
minus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a - b }'; }

row "/c start to dialog visible and idle" "$(result configure_ms)" ms "minimal dialog" "$(result minimal_dialog_ms)" -
row "/c, clock wait and WMI query taken out" "$(result configure_without_waits_ms)" ms "minimal dialog" \
    "$(result minimal_dialog_ms)" 1.5
row "  hardware measurement (the difference)" \
    "$(minus "$(result configure_ms)" "$(result configure_without_waits_ms)")" ms \
    "/c start to dialog visible and idle" "$(result configure_ms)" -
row "/s start to main program's first instruction" "$(launch "through the screensaver's /s")" ms \
    "main program started directly" "$(launch "main program started directly")" 1.2
row "  /t start to exit (the .scr's own start)" "$(result exit_ms)" ms "empty program start to exit" \
    "$(result empty_program_ms)" -
row "/p start to first painted preview" "$(result preview_ms)" ms "child window that paints nothing" \
    "$(result minimal_child_ms)" -
row "/c peak working set, dialog open" "$(result configure_peak_mib)" MiB "minimal dialog" \
    "$(result minimal_dialog_peak_mib)" -
row "release .scr size, 64-bit" "$(size_kib "$scr64")" KiB "1 MiB" 1024 1.0
row "release .scr size, 32-bit" "$(size_kib "$scr32")" KiB "1 MiB" 1024 1.0

echo
echo "Medians of $rounds rounds under Wine $(/usr/lib/wine/wine64 --version 2>/dev/null || echo '?'), $(nproc) cores; ratio = figure / reference"
printf '| %-46s | %13s | %-34s | %13s | %7s | %-16s |\n' measurement figure reference "reference" ratio goal
printf '|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..48})" "$(printf -- '-%.0s' {1..15})" \
    "$(printf -- '-%.0s' {1..36})" "$(printf -- '-%.0s' {1..15})" "$(printf -- '-%.0s' {1..9})" "$(printf -- '-%.0s' {1..18})"
cat "$table"
