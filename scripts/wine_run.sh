#!/usr/bin/env bash
# The emulator of the cross-compiled build: runs a Windows program under Wine in the private prefix
# the scripts use. With DISPLAY set (the test command sets it) the program runs there; without one
# (ctest by hand) a private Xvfb is started for this one program and stopped with Wine afterwards,
# so ctest run by hand in build/windows must run its tests one at a time (no -j).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
prepare_prefix >&2
if [ -n "${DISPLAY:-}" ]; then
    exec "$WINE" "$@"
fi
start_xvfb || exit 1
"$WINE" "$@"
status=$?
"$WINESERVER" -k 2>/dev/null
stop_xvfb
exit $status
