#!/usr/bin/env bash
# The program's own memory under Wine: anonymous (RssAnon: heap, stacks, bitmaps) and file-backed
# (RssFile: the program file and the system libraries) resident memory, read from /proc of the Wine
# process some seconds after start, for
#   - the minimal Direct2D read-out (tools/readout_baseline_win.cpp) with every system library the
#     program links loaded as well: what any such program costs before any code of ours runs;
#   - the program with both read-outs shown (taskbar and desktop) and the dashboard hidden (--minimized);
#   - the program with the dashboard open;
#   - the program after the dashboard, the settings window and the usage window were each opened and
#     closed once, the dashboard hidden again.
# Each case runs RUNS times (default 3) and prints every run and the median; the last lines give the
# program's figures above the baseline. Not part of the test command. The machine is shared: run it
# more than once before trusting a difference of a megabyte.
#
#   bash scripts/memory.sh [RUNS]
#   bash scripts/memory.sh owners [RUNS]
#       instead: tide_memory_owners (tools/memory_owners_win.cpp) creates the program's pieces one after
#       the other; per piece, what it added to the process's anonymous memory and to what Wine itself
#       counts as private
#
# TIDE_MEMORY_PROGRAM names another Tidemeter.exe to measure (an earlier build, to compare).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ROOT/scripts/wine_tools.sh"
cd "$ROOT"

mode=program
if [ "${1:-}" = owners ]; then
    mode=owners
    shift
fi
runs=${1:-3}
settle=${TIDE_MEMORY_SETTLE:-10} # seconds: fonts, first layouts, first samples, a few read-out paints
# What the program links besides kernel32, user32 and gdi32 (cmake/windows.cmake).
libraries=(advapi32.dll comctl32.dll comdlg32.dll iphlpapi.dll ole32.dll oleaut32.dll shcore.dll shell32.dll
    ws2_32.dll d2d1.dll dwrite.dll)

ensure_packages || exit 1
export TIDE_PREFIX="${TIDE_MEMORY_PREFIX:-$ROOT/build/wine-memory}" # another, to run two builds at once
prepare_prefix
cmake --preset windows >/dev/null &&
    cmake --build --preset windows --target Tidemeter tide_probe tide_readout_baseline tide_memory_owners \
        -j2 >/dev/null ||
    { echo "build failed" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w

mkdir -p "$WINEPREFIX/drive_c/memory"
cp "${TIDE_MEMORY_PROGRAM:-build/windows/Tidemeter.exe}" "$WINEPREFIX/drive_c/memory/Tidemeter.exe"
cp build/windows/tide_readout_baseline.exe "$WINEPREFIX/drive_c/memory/"

data_dir=$(wine_data_dir)

start_xvfb || exit 1
start_wine_session
trap '"$WINESERVER" -k 2>/dev/null; stop_xvfb' EXIT

kb_field() { # kb_field PID NAME
    awk -v name="$2:" '$1 == name { print $2; exit }' "/proc/$1/status" 2>/dev/null
}

started() { [ -n "$(unix_pids "$1")" ]; }
shown() { [ -n "$(tide_probe rect "$1")" ]; }
hidden() { [ -z "$(tide_probe rect "$1")" ]; }

# Waits until a window of the class is visible; then posts WM_CLOSE to it and waits until none is.
open_and_close() { # open_and_close CLASS MSG WPARAM
    tide_probe post Tidemeter.Controller "$2" "$3" 0 >/dev/null
    wait_until 60 shown "$1" ||
        { import -window root "$ROOT/build/memory-failed.png"; echo "$1 did not open (build/memory-failed.png)" >&2; return 1; }
    sleep 2 # painted and laid out
    tide_probe post "$1" 0x0010 0 0 >/dev/null
    wait_until 30 hidden "$1" || { echo "$1 did not close" >&2; return 1; }
}

# one_run PROGRAM CASE ARGS...: prints "anon_kb file_kb" of one run.
one_run() {
    local program=$1 case_name=$2
    shift 2
    rm -rf "$data_dir"
    mkdir -p "$data_dir"
    # The private prefix's first settings (scripts/run.sh), the read-out over Wine's taskbar, and the
    # desktop read-out shown too.
    printf '{"schema_version": 1, "compact": {"embed_in_taskbar": false, "layout": 1}, "desktop": {"enabled": true}}\n' \
        >"$data_dir/settings.json"
    (cd /tmp && exec "$WINE" "C:\\memory\\$program" "$@" >/dev/null 2>&1 &)
    wait_until 60 started "$program" || { echo "$program did not start" >&2; return 1; }
    local pid
    pid=$(unix_pids "$program" | head -n 1)
    if [ "$program" = Tidemeter.exe ]; then
        wait_until 60 tide_probe find Tidemeter.Controller >/dev/null || { echo "no controller" >&2; return 1; }
    fi
    if [ "$case_name" = every ]; then
        sleep "$settle"
        open_and_close Tidemeter.Main 0x8003 0 &&
            open_and_close Tidemeter.Settings 0x800C 1 &&
            open_and_close Tidemeter.Usage 0x800C 4 || return 1
    fi
    sleep "$settle"
    local anon file
    anon=$(kb_field "$pid" RssAnon)
    file=$(kb_field "$pid" RssFile)
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w
    start_wine_session
    [ -n "$anon" ] && [ -n "$file" ] || { echo "$program ended early" >&2; return 1; }
    echo "$anon $file"
}

# run_case LABEL PROGRAM CASE ARGS...: RUNS runs, each printed, then the medians (kB) into $medians.
medians=""
run_case() {
    local label=$1
    shift
    local anons=() files=() line
    for ((r = 1; r <= runs; r++)); do
        line=$(one_run "$@") || continue
        anons+=("${line% *}")
        files+=("${line#* }")
    done
    [ ${#anons[@]} -gt 0 ] || { medians=""; echo "$label: no run finished"; return 1; }
    local anon file
    anon=$(printf '%s\n' "${anons[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    file=$(printf '%s\n' "${files[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    printf '%-34s anon %7.1f MB  file %6.1f MB   (anon runs: %s kB)\n' "$label" \
        "$(awk -v k="$anon" 'BEGIN { print k / 1024 }')" "$(awk -v k="$file" 'BEGIN { print k / 1024 }')" \
        "${anons[*]}"
    medians="$anon $file"
}

# One run of tide_memory_owners: after each line it prints, the anonymous memory is read and the line
# given again with the growth of it; then the tool is told to go on.
owners_run() {
    local pid="" line anon last=""
    coproc OWNERS { cd /tmp && exec "$WINE" "$ROOT/build/windows/tide_memory_owners.exe" 1500 wait 2>/dev/null; }
    local owners_pid=$OWNERS_PID
    printf '%-52s %12s %12s\n' "piece" "Wine private" "anonymous"
    while IFS= read -r line <&"${OWNERS[0]}"; do
        line=${line%$'\r'}
        [ -n "$pid" ] || pid=$(unix_pids tide_memory_owners.exe | head -n 1)
        anon=$(kb_field "$pid" RssAnon)
        if [ -z "$last" ]; then
            printf '%s %9d kB\n' "$line" "$anon"
        else
            printf '%s %+9d kB\n' "$line" $((anon - last))
        fi
        last=$anon
        echo >&"${OWNERS[1]}"
    done
    wait "$owners_pid" 2>/dev/null
}

if [ "$mode" = owners ]; then
    for ((r = 1; r <= runs; r++)); do
        echo "Run $r:"
        owners_run
    done
    exit 0
fi

echo "Resident memory $settle s after start (median of $runs runs), under Wine on $DISPLAY:"
run_case "baseline read-out + libraries" tide_readout_baseline.exe plain $((settle + 60)) 1 "${libraries[@]}"
baseline=$medians
run_case "dashboard hidden (--minimized)" Tidemeter.exe plain --minimized
hidden=$medians
run_case "dashboard open" Tidemeter.exe plain
open=$medians
run_case "every window opened and closed" Tidemeter.exe every --minimized
every=$medians

above() { # above LABEL "anon file" "anon file"
    [ -n "$2" ] && [ -n "$3" ] || return 0
    awk -v l="$1" -v a="${2% *}" -v f="${2#* }" -v ba="${3% *}" -v bf="${3#* }" \
        'BEGIN { printf "%-34s anon %+6.1f MB  file %+6.1f MB\n", l, (a - ba) / 1024, (f - bf) / 1024 }'
}
echo "Above the baseline:"
above "dashboard hidden" "$hidden" "$baseline"
above "dashboard open" "$open" "$baseline"
above "every window opened and closed" "$every" "$baseline"
