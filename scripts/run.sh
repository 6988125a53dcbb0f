#!/usr/bin/env bash
# Installs what is missing, builds Tidemeter.exe and starts it under Wine: on $DISPLAY when one is
# set, otherwise on a private Xvfb with Wine's virtual desktop.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"

ensure_packages
prepare_prefix
build_windows
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
    echo "No display set: running on a private Xvfb at $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
fi
"$WINE" build/windows/Tidemeter.exe "$@" >/dev/null 2>&1 &
echo "Tidemeter.exe runs under Wine on $DISPLAY (prefix $WINEPREFIX)."
echo "Stop it with: WINEPREFIX=$WINEPREFIX $WINESERVER -k${XVFB_PID:+ ; kill $XVFB_PID}"
