#!/usr/bin/env bash
# What the program costs while it runs: its share of one core over 60 s under Wine at the default
# interval, once with the dashboard open and once with it closed (started with --minimized), and its
# resident memory beside that of a minimal Direct2D read-out (tools/readout_baseline_win.cpp) run in the
# same prefix. Figures from /proc of the Wine process. Not part of the test command.
#
#   bash scripts/cpu.sh [SECONDS]       (default 60)
#
# TIDE_CPU_PROGRAM names another Tidemeter.exe to measure (an earlier build, to compare).
#
#   bash scripts/cpu.sh --taskbars [SECONDS]
#
# measures instead, on a desk of two monitors with a stand-in taskbar on each (scripts/two_monitors.sh,
# `tide_probe taskbars`), the read-out on the main taskbar alone and with "Show on every taskbar", the
# ratio of the two shares and the resident memory the second read-out adds.
#
#   bash scripts/netlab.sh --router bash scripts/cpu.sh --router [SECONDS]
#
# --router (in the router lab) measures the dashboard closed with this PC's interface as the source and
# with the router, which is asked for its counters every sample, and prints the Wine server's share
# beside each, since Wine carries every socket call through it.
# On a machine that is busy with other work the shares move with it: run it more than once.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ROOT/scripts/wine_tools.sh"
cd "$ROOT"

taskbars=
case "${1:-}" in
--taskbars) taskbars=start; shift ;;
--inside-two-monitors) taskbars=inside; shift ;;
esac
router=0
if [ "${1:-}" = --router ]; then
    router=1
    shift
    [ -n "${TIDE_LAB_HOME_SERVER:-}" ] || { echo "cpu.sh --router runs in scripts/netlab.sh --router" >&2; exit 1; }
fi
seconds=${1:-60}
settle=10 # after the window appears: fonts, first layouts and the first samples

ticks_of() { # user + system clock ticks of a process
    awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null
}
rss_kb_of() {
    awk '$1 == "VmRSS:" { print $2; exit }' "/proc/$1/status" 2>/dev/null
}
hz=$(getconf CLK_TCK)

if [ "$taskbars" = start ]; then
    ensure_packages || exit 1
    cmake --preset windows >/dev/null &&
        cmake --build --preset windows --target Tidemeter tide_probe -j2 >/dev/null ||
        { echo "build failed" >&2; exit 1; }
    exec bash "$ROOT/scripts/two_monitors.sh" bash "$ROOT/scripts/cpu.sh" --inside-two-monitors "$seconds"
fi
if [ "$taskbars" = inside ]; then
    # the read-out laid over each taskbar on one line, as on the private prefix's first start
    data_dir=$(wine_data_dir)
    mkdir -p "$WINEPREFIX/drive_c/cpu"
    cp "${TIDE_CPU_PROGRAM:-build/windows/Tidemeter.exe}" "$WINEPREFIX/drive_c/cpu/Tidemeter.exe"
    echo "Over $seconds s after $settle s of settling, under Wine on two monitors with a taskbar each:"
    declare -A share rss
    for every in false true; do
        rm -rf "$data_dir" && mkdir -p "$data_dir"
        printf '{"schema_version": 1, "compact": {"embed_in_taskbar": false, "layout": 1, "every_taskbar": %s}}\n' \
            "$every" >"$data_dir/settings.json"
        coproc bars { "$WINE" "$ROOT/build/windows/tide_probe.exe" taskbars 2>/dev/null; }
        read -r -t 60 _ <&"${bars[0]}" || { echo "the stand-in taskbars did not start" >&2; exit 1; }
        (cd /tmp && exec "$WINE" 'C:\cpu\Tidemeter.exe' --minimized >/dev/null 2>&1 &)
        wait_until 60 test -n "$(unix_pids Tidemeter.exe)" || { echo "did not start" >&2; exit 1; }
        pid=$(unix_pids Tidemeter.exe | head -n 1)
        sleep "$settle"
        t0=$(ticks_of "$pid")
        sleep "$seconds"
        t1=$(ticks_of "$pid")
        rss[$every]=$(rss_kb_of "$pid")
        share[$every]=$(awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * d / hz / s }')
        name="one taskbar"
        [ "$every" = true ] && name="every taskbar (two)"
        awk -v n="$name" -v c="${share[$every]}" -v t=$((t1 - t0)) -v r="${rss[$every]}" \
            'BEGIN { printf "%-28s cpu %5.2f %% of one core (%d ticks)   resident %7.1f MB\n", n, c, t, r / 1024 }'
        "$WINESERVER" -k 2>/dev/null
        "$WINESERVER" -w
        start_wine_session
    done
    awk -v a="${share[false]}" -v b="${share[true]}" -v ra="${rss[false]}" -v rb="${rss[true]}" 'BEGIN {
        if (a > 0) printf "two taskbars cost %.2f times one\n", b / a
        printf "resident memory of the second read-out: %+.1f MB\n", (rb - ra) / 1024 }'
    exit 0
fi

ensure_packages || exit 1
export TIDE_PREFIX="$ROOT/build/wine-cpu"
prepare_prefix
cmake --preset windows >/dev/null &&
    cmake --build --preset windows --target Tidemeter tide_probe tide_readout_baseline -j2 >/dev/null ||
    { echo "build failed" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w

# A copy of its own, so that a build meanwhile does not touch the running program.
mkdir -p "$WINEPREFIX/drive_c/cpu"
cp "${TIDE_CPU_PROGRAM:-build/windows/Tidemeter.exe}" "$WINEPREFIX/drive_c/cpu/Tidemeter.exe"
cp build/windows/tide_readout_baseline.exe "$WINEPREFIX/drive_c/cpu/"

# The private prefix's first settings (scripts/run.sh): the read-out over Wine's taskbar on one line.
data_dir=$(wine_data_dir)
rm -rf "$data_dir"
mkdir -p "$data_dir"
printf '{"schema_version": 1, "compact": {"embed_in_taskbar": false, "layout": 1}}\n' >"$data_dir/settings.json"

start_xvfb || exit 1
start_wine_session
trap '"$WINESERVER" -k 2>/dev/null; stop_xvfb' EXIT

# run_case NAME PROGRAM ARGS...: starts it, lets it settle, measures over $seconds, ends it.
run_case() {
    local name=$1 program=$2
    shift 2
    rm -f "$ROOT/build/cpu-$program.rss"
    (cd /tmp && exec "$WINE" "C:\\cpu\\$program" "$@" >/dev/null 2>&1 &)
    local pid=""
    wait_until 60 test -n "$(unix_pids "$program")" || { echo "$name: did not start" >&2; return 1; }
    pid=$(unix_pids "$program" | head -n 1)
    sleep "$settle"
    local t0 t1 server s0 s1
    server=$(unix_pids wineserver | head -n 1)
    t0=$(ticks_of "$pid")
    s0=$(ticks_of "$server")
    sleep "$seconds"
    t1=$(ticks_of "$pid")
    s1=$(ticks_of "$server")
    local rss
    rss=$(rss_kb_of "$pid")
    if [ -z "$t0" ] || [ -z "$t1" ]; then
        echo "$name: the process ended early" >&2
        return 1
    fi
    awk -v n="$name" -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" -v r="$rss" \
        'BEGIN { printf "%-28s cpu %5.1f %% of one core   resident %7.1f MB\n", n, 100 * d / hz / s, r / 1024 }'
    if ((router)) && [ -n "$s0" ] && [ -n "$s1" ]; then
        awk -v d=$((s1 - s0)) -v hz="$hz" -v s="$seconds" \
            'BEGIN { printf "%-28s cpu %5.2f %% of one core (the Wine server meanwhile)\n", "", 100 * d / hz / s }'
    fi
    echo "$rss" >"$ROOT/build/cpu-$program.rss"
    # Every process of the prefix ends, so the next case starts as the only instance.
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w
    start_wine_session
}

echo "Over $seconds s after $settle s of settling, under Wine on $DISPLAY:"
if ((router)); then
    for source in 0 2; do
        printf '{"schema_version": 1, "compact": {"embed_in_taskbar": false, "layout": 1}, "monitoring": {"source": %d}}\n' \
            "$source" >"$data_dir/settings.json"
        run_case "dashboard closed, source $source" Tidemeter.exe --minimized
    done
    rm -f build/cpu-*.rss
    exit 0
fi
run_case "dashboard open" Tidemeter.exe
run_case "dashboard closed" Tidemeter.exe --minimized
run_case "minimal read-out baseline" tide_readout_baseline.exe $((settle + seconds + 30))
program_kb=$(cat build/cpu-Tidemeter.exe.rss 2>/dev/null)
baseline_kb=$(cat build/cpu-tide_readout_baseline.exe.rss 2>/dev/null)
rm -f build/cpu-*.rss
if [ -n "$program_kb" ] && [ -n "$baseline_kb" ]; then
    awk -v p="$program_kb" -v b="$baseline_kb" \
        'BEGIN { printf "resident memory, dashboard closed, above the baseline: %.1f MB\n", (p - b) / 1024 }'
fi
