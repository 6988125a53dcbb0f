# Shared by the run and test scripts: packages, the private Wine prefix and a private X display.
# Source it; it sets ROOT to the checkout.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What the build and the test command use (imagemagick: screenshots with `import`; iproute2, curl and
# python3: the network lab of scripts/netlab.sh; miniupnpd, miniupnpd-nftables and nftables: its home
# router; python3-jsonschema and python3-yaml: the release checks its manifests). The benchmarks add
# TIDE_BENCH_PACKAGES (scripts/bench.sh).
TIDE_PACKAGES=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev
    clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    wine64 xvfb xauth imagemagick fonts-wine fonts-dejavu-core iproute2 curl python3
    miniupnpd miniupnpd-nftables nftables
    python3-jsonschema python3-yaml)
TIDE_BENCH_PACKAGES=(rapidjson-dev)

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
    local missing=()
    for p in "${TIDE_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

build_native() {
    cmake --preset native >/dev/null && cmake --build --preset native
}

build_windows() {
    cmake --preset windows >/dev/null && cmake --build --preset windows
}

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_env() {
    export WINEPREFIX="${TIDE_PREFIX:-$ROOT/build/wine}" # scripts that need a prefix of their own set TIDE_PREFIX
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINEARCH=win64
    export XDG_CACHE_HOME="$ROOT/build/xdg/cache" XDG_DATA_HOME="$ROOT/build/xdg/data"
    export XDG_CONFIG_HOME="$ROOT/build/xdg/config"
    mkdir -p "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
}

# A quiet private prefix that reports Windows 10, has no crash dialog, maps Segoe UI to DejaVu Sans
# and runs every window inside one virtual desktop with a taskbar.
prepare_prefix() {
    wine_env
    [ -f "$WINEPREFIX/.tidemeter-ready-2" ] && return 0
    echo "Preparing the Wine prefix in $WINEPREFIX (once)..."
    rm -rf "$WINEPREFIX"
    DISPLAY= "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
    DISPLAY= "$WINE" winecfg /v win10 >/dev/null 2>&1
    local reg=("$WINE" reg add)
    DISPLAY= "${reg[@]}" 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Segoe UI is not there, and Wine's own Tahoma (menus, dialogs, tooltips) has no Arabic or Hebrew.
    local face
    for face in 'Segoe UI' Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2' 'MS Sans Serif'; do
        DISPLAY= "${reg[@]}" 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d 'DejaVu Sans' /f >/dev/null 2>&1
    done
    DISPLAY= "${reg[@]}" 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d shell /f >/dev/null 2>&1
    DISPLAY= "${reg[@]}" 'HKCU\Software\Wine\Explorer\Desktops' /v shell /t REG_SZ /d 1280x800 /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.tidemeter-ready-2"
}

# Keeps one Wine server and the prefix's services running until `wineserver -k`. Without it every
# test program starts the server afresh and the next one may start while it is shutting down; and
# whatever the first program starts inherits its output, so ctest would wait for the services to
# end. Booting here with no output to inherit avoids both.
start_wine_session() {
    wine_env
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" wineboot </dev/null >/dev/null 2>&1
}

# Keeps the virtual desktop open between test programs (`tide_probe hold`): the server closes it a
# second after the last program ended, and a test starting in that second could lose its windows.
# It waits until the desktop exists: a program started before would start the desktop itself, and the
# desktop would inherit that program's output, keeping whoever reads it (ctest) waiting.
hold_desktop() {
    local fifo line
    fifo=$(mktemp -u) && mkfifo "$fifo"
    "$WINE" "$ROOT/build/windows/tide_probe.exe" hold </dev/null >"$fifo" 2>/dev/null &
    HOLD_PID=$!
    read -r -t 60 line <"$fifo" || echo "The desktop holder did not start" >&2
    rm -f "$fifo"
}

release_desktop() {
    [ -n "${HOLD_PID:-}" ] && kill "$HOLD_PID" 2>/dev/null && wait "$HOLD_PID" 2>/dev/null
    HOLD_PID=
}

# Starts a private Xvfb on a free display number and exports DISPLAY; XVFB_PID is set for stop_xvfb.
start_xvfb() {
    local fifo
    fifo=$(mktemp -u) && mkfifo "$fifo"
    Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local num
    read -r -t 30 num <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$num" ]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$num"
}

stop_xvfb() {
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}
