# Helpers for the scripts that drive the program under Wine (installer check, soak, gallery).
# Source after common.sh and after wine_env/prepare_prefix have set WINEPREFIX.

# Runs the console helper built beside the program; its output without carriage returns.
tide_probe() {
    "$WINE" "$ROOT/build/windows/tide_probe.exe" "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# The Linux process ids of the Windows programs whose command line contains $1, in this prefix only.
unix_pids() {
    local dir pid
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        { tr '\0' '\n' <"$dir/cmdline"; } 2>/dev/null | grep -qF -- "$1" || continue
        { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        echo "$pid"
    done
}

# Polls a command every 0.2 s until it succeeds; fails after $1 seconds.
wait_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# The Unix folder of the prefix's user profile (C:\users\<name>).
wine_user_dir() {
    local dir
    for dir in "$WINEPREFIX"/drive_c/users/*; do
        case "${dir##*/}" in Public | Default) continue ;; esac
        echo "$dir"
        return 0
    done
    return 1
}

# The program's data folder in the prefix (%APPDATA%\Tidemeter).
wine_data_dir() {
    echo "$(wine_user_dir)/AppData/Roaming/Tidemeter"
}
