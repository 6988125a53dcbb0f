#!/usr/bin/env bash
# Builds the fuzz targets and runs each from a copy of its seed corpus in fuzz/corpus/<name>.
#   scripts/fuzz.sh [seconds]   open-ended search, by hand: each target for that long (default 60)
#   scripts/fuzz.sh --runs N    what the test command does: replays the corpus, then exactly N inputs
#                               from a fixed seed, so that every run tries the same inputs
# Prints "fuzz target passed: <name>" per target. A crash leaves its input in build/fuzz/<name>-crash-*;
# it goes into fuzz/corpus/<name> with its fix.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
if [ "${1:-}" = "--runs" ]; then
    limit=(-runs="${2:?number of runs}" -seed=1)
else
    limit=(-max_total_time="${1:-60}")
fi
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || { echo "fuzz build failed"; exit 1; }
status=0
ran=0
for exe in build/fuzz/*_fuzz; do
    [ -x "$exe" ] || continue
    ran=$((ran + 1))
    name=$(basename "$exe" _fuzz)
    work="build/fuzz/corpus-$name"
    rm -rf "$work" && mkdir -p "$work"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
    if "$exe" "${limit[@]}" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="build/fuzz/$name-" "$work" >"build/fuzz/$name.log" 2>&1; then
        echo "fuzz target passed: $name ($(grep -Eo '#[0-9]+' "build/fuzz/$name.log" | tail -n 1 | tr -d '#') runs)"
    else
        echo "fuzz target FAILED: $name"
        tail -n 40 "build/fuzz/$name.log"
        status=1
    fi
done
[ "$ran" -gt 0 ] || { echo "no fuzz targets found in build/fuzz"; status=1; }
exit $status
