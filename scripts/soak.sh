#!/usr/bin/env bash
# Soak check: runs Tidemeter.exe under Wine for a while with a 250 ms interval, the dashboard open and
# both read-outs on, samples its memory and handle count every minute and says whether they stayed
# flat. Not part of the test command.
#
#   bash scripts/soak.sh [MINUTES]      (default 30)
#
# Figures per sample, from /proc of the Wine process: resident memory (VmRSS) and private memory
# (RssAnon + VmSwap: the heap and other anonymous pages, which a leak grows; file pages are left out
# because their count moves with whatever other Wine processes map the same libraries). From Wine's
# process list: the handle count (Wine gives the size of the process's handle table, which grows in
# steps of 32: a handle leak shows as a step) and the GDI and USER object counts (Wine reports 0). The verdict compares the last sample with the one after the warm-up minutes: each
# figure may rise by its margin (memory: 2% or 1 MB, whichever is more; handles: 5% or 10).
# When memory grew, the soak then runs tide_d2d_memory in the same prefix: what this system's Direct2D
# and DirectWrite keep per call that the dashboard makes, with nothing of ours in between, to tell a
# leak of ours from one below us.
# Exit status 0 when flat, 1 when a figure grew or the program stopped.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ROOT/scripts/wine_tools.sh"
cd "$ROOT"

minutes=${1:-30}
sample_seconds=${TIDE_SOAK_SAMPLE_SECONDS:-60} # shorter only to try the script out
[ "$minutes" -ge 2 ] || { echo "run for 2 minutes at least" >&2; exit 2; }
warmup=$((minutes >= 10 ? 3 : 1))

ensure_packages || exit 1
export TIDE_PREFIX="$ROOT/build/wine-soak"
prepare_prefix
cmake --preset windows >/dev/null && cmake --build --preset windows --target Tidemeter tide_probe tide_d2d_memory >/dev/null ||
    { echo "build failed" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w

# The soak's own settings in the prefix's data folder: fastest interval, dashboard shown at start,
# taskbar and desktop read-outs on, usage history kept (so its saves run too).
data_dir=$(wine_data_dir)
rm -rf "$data_dir"
mkdir -p "$data_dir"
cat >"$data_dir/settings.json" <<'JSON'
{
  "schema_version": 1,
  "defaults_rev": 3,
  "monitoring": { "interval_ms": 250 },
  "compact": { "enabled": true, "mode": 0, "on_taskbar": true },
  "desktop": { "enabled": true, "mode": 1 },
  "main_window": { "start_minimized": false, "close_to_tray": true },
  "history_mode": 1
}
JSON

start_xvfb || exit 1
cleanup() {
    tide_probe post Tidemeter.Controller 0x800C 3 0 >/dev/null # the program's own Exit
    wait_until 20 test -z "$(unix_pids Tidemeter.exe)"
    "$WINESERVER" -k 2>/dev/null
    stop_xvfb
}
trap cleanup EXIT

# A copy of its own, so that a build during the soak does not touch the running program.
mkdir -p "$WINEPREFIX/drive_c/soak"
cp build/windows/Tidemeter.exe "$WINEPREFIX/drive_c/soak/Tidemeter.exe"
(cd /tmp && "$WINE" 'C:\soak\Tidemeter.exe' >/dev/null 2>&1 &)
wait_until 60 tide_probe find Tidemeter.Controller >/dev/null || { echo "the program did not start" >&2; exit 1; }
win_pid=$(tide_probe find Tidemeter.Controller | head -n 1 | cut -d' ' -f1)
unix_pid=$(unix_pids Tidemeter.exe | head -n 1)
[ -n "$unix_pid" ] || { echo "no Linux process for the program" >&2; exit 1; }
echo "Soaking Tidemeter.exe (Windows pid $win_pid, Linux pid $unix_pid) for $minutes min on $DISPLAY;"
echo "one sample every $sample_seconds s, warm-up $warmup sample(s)."

kb_field() { # kb_field FILE NAME: the number of kB of a "Name: n kB" line
    awk -v name="$2:" '$1 == name { print $2; exit }' "$1" 2>/dev/null
}

printf '%6s %10s %11s %8s %5s %5s\n' min rss_kb private_kb handles gdi user
rss=()
private=()
handles=()
for ((i = 1; i <= minutes; i++)); do
    sleep "$sample_seconds"
    if [ ! -d "/proc/$unix_pid" ]; then
        echo "Verdict: the program stopped during the soak (after $((i - 1)) samples)."
        exit 1
    fi
    r=$(kb_field "/proc/$unix_pid/status" VmRSS)
    p=$(( $(kb_field "/proc/$unix_pid/status" RssAnon) + $(kb_field "/proc/$unix_pid/status" VmSwap) ))
    stats=$(tide_probe stats "$win_pid")
    h=$(sed -n 's/.*handles=\(-\{0,1\}[0-9]*\).*/\1/p' <<<"$stats")
    g=$(sed -n 's/.*gdi=\([0-9]*\).*/\1/p' <<<"$stats")
    u=$(sed -n 's/.*user=\([0-9]*\).*/\1/p' <<<"$stats")
    rss+=("$r")
    private+=("$p")
    handles+=("${h:--1}")
    printf '%6d %10d %11d %8d %5d %5d\n' "$i" "$r" "$p" "${h:--1}" "${g:-0}" "${u:-0}"
done

# Growth of one figure from the end of the warm-up to the last sample, against its margin.
grown=()
judge() { # judge NAME BASE LAST PERCENT FLOOR
    local name=$1 base=$2 last=$3 percent=$4 floor=$5
    local margin=$((base * percent / 100))
    [ "$margin" -ge "$floor" ] || margin=$floor
    local delta=$((last - base))
    printf '  %-10s %10d -> %10d (%+d, margin %d)\n' "$name" "$base" "$last" "$delta" "$margin"
    [ "$delta" -le "$margin" ] || grown+=("$name")
}
echo "From sample $warmup to sample $minutes:"
judge rss_kb "${rss[warmup - 1]}" "${rss[minutes - 1]}" 2 1024
judge private_kb "${private[warmup - 1]}" "${private[minutes - 1]}" 2 1024
if [ "${handles[minutes - 1]}" -gt 0 ]; then
    judge handles "${handles[warmup - 1]}" "${handles[minutes - 1]}" 5 10
else
    echo "  handles    not reported by the system"
fi
if [ ${#grown[@]} -eq 0 ]; then
    echo "Verdict: flat (every figure within its margin after the warm-up)."
    exit 0
fi
echo "Verdict: grew: ${grown[*]}."
echo "What this system's Direct2D and DirectWrite keep per call (tide_d2d_memory 2000):"
"$WINE" build/windows/tide_d2d_memory.exe 2000 2>&1 | sed 's/^/  /'
exit 1
