#!/usr/bin/env bash
# Installs what is missing, builds Tidemeter.exe and starts it under Wine: on $DISPLAY when one is
# set, otherwise on a private Xvfb with Wine's virtual desktop.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"

ensure_packages
prepare_prefix
build_windows

# Wine draws no layered child window, so a read-out embedded in its taskbar would be invisible: the
# private prefix starts with the read-out laid over the taskbar instead. An existing file is kept.
first_settings() {
    local roaming
    roaming=$(find "$WINEPREFIX/drive_c/users" -mindepth 3 -maxdepth 3 -path '*/AppData/Roaming' \
        ! -path '*/Public/*' 2>/dev/null | head -n 1)
    [ -n "$roaming" ] || return 0
    mkdir -p "$roaming/Tidemeter"
    [ -e "$roaming/Tidemeter/settings.json" ] && return 0
    printf '{"schema_version": 1, "compact": {"embed_in_taskbar": false}}\n' >"$roaming/Tidemeter/settings.json"
}
first_settings
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
    echo "No display set: running on a private Xvfb at $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
fi
"$WINE" build/windows/Tidemeter.exe "$@" >/dev/null 2>&1 &
echo "Tidemeter.exe runs under Wine on $DISPLAY (prefix $WINEPREFIX)."
echo "Stop it with: WINEPREFIX=$WINEPREFIX $WINESERVER -k${XVFB_PID:+ ; kill $XVFB_PID}"
