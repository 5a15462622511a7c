#!/usr/bin/env bash
# Builds both release programs and their benchmarks, runs the start-up
# benchmarks of each under Wine (the 32-bit one under WOW64, as users run it)
# and prints one table: each row the median over repeated runs next to its
# reference measured in the same run, for both programs, with the goal.
#   scripts/bench.sh [rounds]                       builds build/win64 and build/win32 first
#   scripts/bench.sh [rounds] --builds DIR64 DIR32  uses two build folders built already
#   scripts/bench.sh --loaded-wire-check [--builds DIR64 DIR32]
#                    instead: the 20 configure runs of the closing-hit check
#                    (e2e.analytics), each program once, with one busy loop
#                    per core beside it; prints in how many the hit arrived
# A build whose programs cannot run here (32-bit code where the kernel refuses
# it) is reported as not run. A benchmark, not a test: it prints figures and
# fails only when a program could not be built or run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=11
declare -A build=([64]=$root/build/win64 [32]=$root/build/win32)
prebuilt=no
mode=startup
while [ $# -gt 0 ]; do
    case $1 in
        --builds) build[64]=$(cd "$2" && pwd); build[32]=$(cd "$3" && pwd); prebuilt=yes; shift 3 ;;
        --loaded-wire-check) mode=wire; shift ;;
        [0-9]*) rounds=$1; shift ;;
        *) echo "usage: $0 [rounds | --loaded-wire-check] [--builds DIR64 DIR32]" >&2; exit 2 ;;
    esac
done

if [ $prebuilt = no ]; then
    "$root/scripts/setup.sh"
    source "$root/scripts/builds.sh"
    configure_and_build win64
    configure_and_build win32
fi

# The main program renders for seconds at a time: fewer rounds.
main_rounds=$(( rounds < 5 ? rounds : 5 ))
main_seconds=10
out=$(mktemp -d)
loops=()
cleanup() {
    [ ${#loops[@]} -eq 0 ] || kill "${loops[@]}" 2>/dev/null || true
    rm -rf "$out"
}
trap cleanup EXIT

if [ $mode = wire ]; then
    for bits in 64 32; do
        dir=${build[$bits]}
        echo "== bench: $bits-bit program, the closing-hit check under load ($(nproc) busy loops)"
        loops=()
        for _ in $(seq "$(nproc)"); do
            sh -c 'while :; do :; done' &
            loops+=($!)
        done
        rc=0
        "$root/tests/capture/with_hit_capture.sh" "bench-wire-$bits" "$dir/tests/e2e/e2e_tests.exe" \
            --gtest_filter=AnalyticsWire.ClosingHitHasArrivedWhenTheProcessEnds >"$out/wire-$bits" 2>&1 || rc=$?
        kill "${loops[@]}" 2>/dev/null || true
        wait "${loops[@]}" 2>/dev/null || true
        loops=()
        if [ $rc = 77 ]; then
            echo "   not run: $(tail -n1 "$out/wire-$bits")"
            continue
        fi
        missing=$(grep -c '(closed with' "$out/wire-$bits" || true)
        ran=$(grep -c '^\[ time     \] 20 runs' "$out/wire-$bits" || true)
        grep '^\[ time' "$out/wire-$bits" | sed 's/^/   /'
        if [ "$ran" = 1 ]; then
            echo "   closing hit arrived in $((20 - missing)) of 20 runs"
        else
            echo "   the check stopped before its 20 runs:"
            grep -B2 -A6 'Failure' "$out/wire-$bits" | head -n 30 | sed 's/^/   /'
        fi
    done
    exit 0
fi

declare -A ran=()
for bits in 64 32; do
    dir=${build[$bits]}
    for file in "$dir/Sorvane 3D Screensaver.scr" "$dir/bench/front_end_bench.exe" "$dir/bench/launch_bench.exe"; do
        [ -f "$file" ] || { echo "bench: $file is missing" >&2; exit 1; }
    done
    echo "== bench: $bits-bit program, configure, preview and exit, $rounds rounds"
    rc=0
    "$root/tests/harness/wine_run.sh" "bench-front-end-$bits" "$dir/bench/front_end_bench.exe" "$rounds" \
        >"$out/front_end-$bits" 2>"$out/skipped-$bits" || rc=$?
    if [ $rc = 77 ]; then
        echo "   not run: $(tail -n1 "$out/skipped-$bits")"
        continue
    fi
    [ $rc = 0 ] || { cat "$out/front_end-$bits" "$out/skipped-$bits"; exit 1; }
    echo "== bench: $bits-bit program, run mode, $rounds rounds"
    "$root/tests/harness/wine_run.sh" "bench-launch-$bits" "$dir/bench/launch_bench.exe" "$rounds" \
        >"$out/launch-$bits" || { cat "$out/launch-$bits"; exit 1; }
    ran[$bits]=yes
    # The main program: its start, its load at the screen's 1280x1024, the display off, memory, its end.
    [ -f "$dir/bench/main_program_bench.exe" ] || { echo "bench: $dir/bench/main_program_bench.exe is missing" >&2; exit 1; }
    echo "== bench: $bits-bit main program, $main_rounds rounds, load over $main_seconds s"
    "$root/tests/harness/wine_run.sh" "bench-main-$bits" "$dir/bench/main_program_bench.exe" "$main_rounds" \
        "$main_seconds" >"$out/main-$bits" || { cat "$out/main-$bits"; exit 1; }
done
[ ${#ran[@]} -gt 0 ] || { echo "bench: neither program could run here" >&2; exit 1; }

# The median of one figure of one program; "-" for a program that did not run.
result() { # bits key
    [ -n "${ran[$1]:-}" ] || { echo -; return; }
    awk -v key="$2" '$1 == "RESULT" && $2 == key { print $3; found = 1 } END { exit !found }' \
        "$out/front_end-$1" "$out/launch-$1"
}
size_kib() { awk -v bytes="$(stat -c %s "${build[$1]}/Sorvane 3D Screensaver.scr")" 'BEGIN { printf "%.1f", bytes / 1024 }'; }

table=$out/table
# what, unit, goal (the ratio it must stay under, or -), then per program: figure, reference
row() {
    awk -v what="$1" -v unit="$2" -v goal="$3" -v a="$4" -v ra="$5" -v b="$6" -v rb="$7" 'BEGIN {
        line = sprintf("| %-44s", what)
        verdict = ""
        split(a " " ra " " b " " rb, v, " ")
        for (i = 1; i <= 3; i += 2) {
            if (v[i] == "-" || v[i + 1] == "-") {
                line = line sprintf(" | %12s | %8s | %6s", "not run", "-", "-")
                continue
            }
            ratio = v[i] / v[i + 1]
            line = line sprintf(" | %8.1f %-3s | %8.1f | %5.2fx", v[i], unit, v[i + 1], ratio)
            if (goal != "-") verdict = verdict (ratio <= goal ? " holds" : " MISSED")
        }
        printf "%s | %-20s |\n", line, goal == "-" ? "" : sprintf("<= %.2fx%s", goal, verdict)
    }' >>"$table"
}
ref() { # the reference per program: the minimal dialog after both Direct3D probes, run at once
    result "$1" probing_dialog_ms
}

row "/c to dialog idle, with stored settings" ms 1.25 \
    "$(result 64 configure_ms)" "$(ref 64)" "$(result 32 configure_ms)" "$(ref 32)"
row "  minimal dialog alone" ms - \
    "$(result 64 minimal_dialog_ms)" "$(ref 64)" "$(result 32 minimal_dialog_ms)" "$(ref 32)"
row "  Direct3D 9 enumeration alone" ms - \
    "$(result 64 direct3d9_probe_ms)" "$(ref 64)" "$(result 32 direct3d9_probe_ms)" "$(ref 32)"
row "  Direct3D 11 sample counts alone" ms - \
    "$(result 64 direct3d11_probe_ms)" "$(ref 64)" "$(result 32 direct3d11_probe_ms)" "$(ref 32)"
row "/c on a fresh system (waits for the facts)" ms - \
    "$(result 64 configure_fresh_ms)" "$(ref 64)" "$(result 32 configure_fresh_ms)" "$(ref 32)"
row "/s to the main program's first instruction" ms 1.2 \
    "$(result 64 run_ms)" "$(result 64 minimal_launcher_ms)" "$(result 32 run_ms)" "$(result 32 minimal_launcher_ms)"
row "  (against the main program run directly)" ms - \
    "$(result 64 run_ms)" "$(result 64 direct_ms)" "$(result 32 run_ms)" "$(result 32 direct_ms)"
row "/p to the first painted preview" ms 1.3 \
    "$(result 64 preview_ms)" "$(result 64 minimal_child_ms)" "$(result 32 preview_ms)" "$(result 32 minimal_child_ms)"
row "/t start to exit (the .scr's own start)" ms - \
    "$(result 64 exit_ms)" "$(result 64 empty_program_ms)" "$(result 32 exit_ms)" "$(result 32 empty_program_ms)"
row "/c peak working set (reference as ref.)" MiB - \
    "$(result 64 configure_peak_mib)" "$(result 64 probing_dialog_peak_mib)" \
    "$(result 32 configure_peak_mib)" "$(result 32 probing_dialog_peak_mib)"
row "  (the minimal dialog's as ref.)" MiB - \
    "$(result 64 configure_peak_mib)" "$(result 64 minimal_dialog_peak_mib)" \
    "$(result 32 configure_peak_mib)" "$(result 32 minimal_dialog_peak_mib)"
row "release .scr size (700 KiB as reference)" KiB - "$(size_kib 64)" 700 "$(size_kib 32)" 700

echo
echo "Medians of $rounds rounds under Wine $(/usr/lib/wine/wine64 --version 2>/dev/null || echo '?'), $(nproc) cores;" \
     "ratio = figure / reference. References: /c, a minimal dialog shown after both Direct3D probes, run at once"
echo "on two threads in one small program (what the dialog must do);"
echo "/s, the smallest launcher; /p, a child window that paints nothing; /t, an empty program."
printf '| %-44s | %14s | %8s | %6s | %14s | %8s | %6s | %-20s |\n' measurement "64-bit" reference ratio \
    "32-bit" reference ratio goal
printf '|%s|%s|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..46})" "$(printf -- '-%.0s' {1..16})" \
    "$(printf -- '-%.0s' {1..10})" "$(printf -- '-%.0s' {1..8})" "$(printf -- '-%.0s' {1..16})" \
    "$(printf -- '-%.0s' {1..10})" "$(printf -- '-%.0s' {1..8})" "$(printf -- '-%.0s' {1..22})"
cat "$table"
echo "Release .scr size goal: the 32-bit file at most 700 KiB ($(size_kib 32) KiB)."

# The main program's table: its own figures, with the goal where there is one.
main() {
    [ -n "${ran[$1]:-}" ] || { echo -; return; }
    awk -v key="$2" '$1 == "RESULT" && $2 == key { print $3; found = 1 } END { exit !found }' "$out/main-$1"
}
exe_kib() { awk -v bytes="$(stat -c %s "${build[$1]}/Sorvane 3D Screensaver.exe")" 'BEGIN { printf "%.1f", bytes / 1024 }'; }
echo
echo "Main program (Sorvane 3D Screensaver.exe), Mesa's software renderer, medians of $main_rounds rounds:"
printf '| %-52s | %10s | %10s | %-28s |\n' measurement 64-bit 32-bit goal
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..54})" "$(printf -- '-%.0s' {1..12})" "$(printf -- '-%.0s' {1..12})" \
    "$(printf -- '-%.0s' {1..30})"
main_row() { # what, value 64, value 32, goal
    printf '| %-52s | %10s | %10s | %-28s |\n' "$1" "$2" "$3" "$4"
}
ratio() {
    [ -n "${ran[$1]:-}" ] || { echo -; return; }
    awk -v a="$(main "$1" main_start_ms)" -v b="$(main "$1" minimal_start_ms)" 'BEGIN { printf "%.2fx", a / b }'
}
main_row "start to first scene frame (ms)" "$(main 64 main_start_ms)" "$(main 32 main_start_ms)" ""
main_row "  minimal Direct3D 9 program, one cleared frame (ms)" "$(main 64 minimal_start_ms)" \
    "$(main 32 minimal_start_ms)" ""
main_row "  ratio" "$(ratio 64)" "$(ratio 32)" "<= 1.50x"
main_row "frames/s at the screen's size, automatic detail" "$(main 64 fps_auto)" "$(main 32 fps_auto)" ""
main_row "  processor use, % of one core" "$(main 64 cpu_auto)" "$(main 32 cpu_auto)" ""
main_row "frames/s at the screen's size, high detail" "$(main 64 fps_high)" "$(main 32 fps_high)" ""
main_row "  processor use, % of one core" "$(main 64 cpu_high)" "$(main 32 cpu_high)" ""
main_row "processor use with the display off, % of one core" "$(main 64 cpu_display_off)" \
    "$(main 32 cpu_display_off)" "< 1"
main_row "peak working set (MiB)" "$(main 64 peak_mib)" "$(main 32 peak_mib)" ""
main_row "WM_CLOSE to the end of the process (ms)" "$(main 64 close_ms)" "$(main 32 close_ms)" ""
main_row "release .exe size (KiB)" "$(exe_kib 64)" "$(exe_kib 32)" "32-bit <= 2560 (with decoders)"

# The animated wallpaper ("/w"), at the screen's size under Mesa's software
# renderer: processor use while it plays at its 30 frames a second (the
# screensaver mode held to 30 as reference) and while a covering window
# pauses it (an idle Direct3D 9 program as reference; goal below 1% of a
# core), and how soon a covering window pauses it and its removal resumes it
# (goal within 500 ms).
for bits in 64 32; do
    [ -n "${ran[$bits]:-}" ] || continue
    bench=${build[$bits]}/bench/wallpaper_bench.exe
    [ -f "$bench" ] || { echo "bench: $bench is missing" >&2; exit 1; }
    echo "== bench: $bits-bit wallpaper, $rounds covers"
    "$root/tests/harness/wine_run.sh" "bench-wallpaper-$bits" "$bench" "$rounds" 10 >"$out/wallpaper-$bits" ||
        { cat "$out/wallpaper-$bits"; exit 1; }
done
wallpaper() {
    [ -n "${ran[$1]:-}" ] || { echo -; return; }
    awk -v key="$2" '$1 == "RESULT" && $2 == key { print $3 }' "$out/wallpaper-$1"
}
# what, unit, goal, then per program: figure, reference (or - for none)
wallpaper_row() {
    LC_ALL=C awk -v what="$1" -v unit="$2" -v goal="$3" -v a="$4" -v ra="$5" -v b="$6" -v rb="$7" 'BEGIN {
        line = sprintf("| %-34s", what)
        split(a " " ra " " b " " rb, v, " ")
        for (i = 1; i <= 3; i += 2)
            line = line (v[i] == "-" ? sprintf(" | %12s | %8s", "not run", "") : \
                sprintf(" | %8.2f %-3s | %8s", v[i], unit, v[i + 1] == "-" ? "" : sprintf("%8.2f", v[i + 1])))
        printf "%s | %-14s |\n", line, goal
    }'
}
echo
echo "Wallpaper at the screen's size, $rounds covers, 10 s of load; references: the screensaver at 30 frames/s,"
echo "an idle Direct3D 9 program."
printf '| %-34s | %12s | %8s | %12s | %8s | %-14s |\n' measurement 64-bit ref. 32-bit ref. goal
wallpaper_row "frames/s playing" "" "at most 30" "$(wallpaper 64 wallpaper_fps)" "$(wallpaper 64 screensaver30_fps)" \
    "$(wallpaper 32 wallpaper_fps)" "$(wallpaper 32 screensaver30_fps)"
wallpaper_row "processor playing" "%" "-" "$(wallpaper 64 wallpaper_cpu)" "$(wallpaper 64 screensaver30_cpu)" \
    "$(wallpaper 32 wallpaper_cpu)" "$(wallpaper 32 screensaver30_cpu)"
wallpaper_row "processor paused" "%" "below 1%" "$(wallpaper 64 wallpaper_paused_cpu)" \
    "$(wallpaper 64 idle_direct3d9_cpu)" "$(wallpaper 32 wallpaper_paused_cpu)" "$(wallpaper 32 idle_direct3d9_cpu)"
wallpaper_row "covering window to the pause" ms "-" "$(wallpaper 64 cover_to_pause_ms)" - \
    "$(wallpaper 32 cover_to_pause_ms)" -
wallpaper_row "its removal to the next frame" ms "within 500 ms" "$(wallpaper 64 removal_to_frame_ms)" - \
    "$(wallpaper 32 removal_to_frame_ms)" -

# The main program's audio, under Wine through ALSA's file plugin: the CPU of
# the engine playing the built-in music with effects (its mixing alone, and the
# engine silent), next to a minimal program playing a tone through WASAPI beside
# it; and a live volume change (code 1) until the mixer hands the device the new
# level, and until it is heard (plus the device's latency).
# Then the real program's scene (small, at 8 frames a second) with its music
# and sounds against the same scene silent.
for bits in 64 32; do
    [ -n "${ran[$bits]:-}" ] || continue
    for name in audio_bench audio_scene_bench; do
        file="${build[$bits]}/bench/$name.exe"
        [ -f "$file" ] || { echo "bench: $file is missing" >&2; exit 1; }
        echo "== bench: $bits-bit $name"
        SORVANE_AUDIO_CAPTURE="$out/$name-$bits.wav" "$root/tests/harness/wine_run.sh" "bench-$name-$bits" "$file" \
            >>"$out/audio-$bits" || { cat "$out/audio-$bits"; exit 1; }
    done
done
audio() {
    [ -n "${ran[$1]:-}" ] || { echo "not run"; return; }
    awk -v key="$2" '$1 == "RESULT" && $2 == key { print $3 }' "$out/audio-$1"
}
echo
printf '| %-58s | %10s | %10s |\n' "audio (one run each)" 64-bit 32-bit
printf '|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..60})" "$(printf -- '-%.0s' {1..12})" "$(printf -- '-%.0s' {1..12})"
for key in "playing_cpu_percent:engine playing the built-in music and effects, % of a core" \
           "silent_cpu_percent:  the same engine silent (device released)" \
           "mix_cpu_percent:  its mixing alone (synthesis, effects, limit)" \
           "minimal_output_cpu_percent:  reference: a minimal WASAPI program playing a tone" \
           "code1_mixed_ms:code 1 to the new level mixed, median ms" \
           "code1_mixed_max_ms:  slowest of 21" \
           "code1_heard_ms:code 1 to the new level heard (+ device latency), median ms" \
           "code1_heard_max_ms:  slowest of 21 (goal: 100 ms)" \
           "scene_audible_cpu_percent:the real program's scene with music and sounds, % of a core" \
           "scene_silent_cpu_percent:  the same scene silent (median of 3 rounds each)"; do
    printf '| %-58s | %10s | %10s |\n' "${key#*:}" "$(audio 64 "${key%%:*}")" "$(audio 32 "${key%%:*}")"
done

# The scene alone on one device at 1280x1024: its first frame beside a
# cleared one, each detail tier's frame rate beside a plain reference scene.
for bits in 64 32; do
    [ -n "${ran[$bits]:-}" ] || { echo "== bench: $bits-bit scene: not run"; continue; }
    file="${build[$bits]}/bench/scene_bench.exe"
    [ -f "$file" ] || { echo "bench: $file is missing" >&2; exit 1; }
    echo "== bench: $bits-bit scene"
    "$root/tests/harness/wine_run.sh" "bench-scene-$bits" "$file" | sed 's/^/   /'
done
