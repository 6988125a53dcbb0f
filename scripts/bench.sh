#!/usr/bin/env bash
# Builds the benchmark programs (not part of the test command) and runs them: the native ones, then
# the Windows ones under Wine. They print figures; they are not tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages "${TIDE_BENCH_PACKAGES[@]}"
cmake --preset native -DTIDE_BENCH=ON >/dev/null && cmake --build --preset native
prepare_prefix
cmake --preset windows -DTIDE_BENCH=ON >/dev/null && cmake --build --preset windows
for exe in build/native/bench/*_bench; do
    "$exe"
done
for exe in build/windows/bench/*_bench_win.exe; do
    scripts/wine_run.sh "$exe"
done
