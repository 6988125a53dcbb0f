#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a bounded time (first argument, seconds; default 60) from
# a copy of its seed corpus in fuzz/corpus/<name>. Prints "fuzz target passed: <name>" per target.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
seconds=${1:-60}
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
    if "$exe" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
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
