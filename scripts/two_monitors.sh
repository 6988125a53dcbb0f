#!/usr/bin/env bash
# Runs a command under Wine on a desk of two monitors side by side (1280x800 and 1024x768): a private
# Xvfb of one wide screen without RandR, a stand-in libXinerama.so.1 that reports the two heads
# (tests/wine/xinerama_two_heads.c) and a prefix of its own without Wine's virtual desktop, which
# always has one monitor. There is no taskbar there: the command makes its own stand-ins (the tests,
# or `tide_probe taskbars`).
#
#   bash scripts/two_monitors.sh COMMAND [ARGS...]   COMMAND runs with DISPLAY, WINEPREFIX and
#                                                    LD_LIBRARY_PATH set; WINE names wine64;
#                                                    TIDE_TWO_MONITORS=1 tells the tests the desk is there
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

folder="$ROOT/build/two-monitors"
mkdir -p "$folder"
if [ ! -f "$folder/libXinerama.so.1" ] || [ "$ROOT/tests/wine/xinerama_two_heads.c" -nt "$folder/libXinerama.so.1" ]; then
    gcc -shared -fPIC -O2 -Wl,-soname,libXinerama.so.1 -o "$folder/libXinerama.so.1" \
        "$ROOT/tests/wine/xinerama_two_heads.c" || exit 1
fi

export TIDE_PREFIX="$ROOT/build/wine-two"
prepare_prefix >&2
if [ ! -f "$WINEPREFIX/.tidemeter-two-monitors" ]; then
    DISPLAY= "$WINE" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.tidemeter-two-monitors"
fi

fifo=$(mktemp -u) && mkfifo "$fifo"
Xvfb -displayfd 9 -screen 0 2304x800x24 -extension RANDR -nolisten tcp 9>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 30 num <"$fifo" || num=
rm -f "$fifo"
[ -n "$num" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$num" LD_LIBRARY_PATH="$folder${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" WINE TIDE_TWO_MONITORS=1
trap '"$WINESERVER" -k 2>/dev/null; kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null' EXIT
start_wine_session
"$@"
