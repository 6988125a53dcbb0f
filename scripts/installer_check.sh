#!/usr/bin/env bash
# The installer's round trip under Wine, in a prefix of its own (build/wine-setup, cleared of every
# trace of the program first): silent install; the installed program starts and shows its tray icon;
# a silent upgrade ends the running program, which saves its files, and keeps them; silent uninstall
# removes the program, the shortcut, the uninstall entry and the Run value and keeps the data;
# /RemoveData removes the data as well. Builds the release when it is missing. About 30 s.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ROOT/scripts/wine_tools.sh"
cd "$ROOT"

ensure_packages nsis || exit 1
bash scripts/release.sh >/dev/null || { echo "release build failed"; exit 1; }
cmake --build build/windows --target tide_probe >/dev/null || exit 1
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' build/windows/generated/version.nsh)
setup="$ROOT/build/release/Tidemeter-$version-setup.exe"

export TIDE_PREFIX="$ROOT/build/wine-setup"
prepare_prefix
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w
start_xvfb || exit 1
"$WINESERVER" -p # one server for the whole check: every wine call below starts quickly

passed=0
failed=0
check() { # check DESCRIPTION COMMAND...: runs the command and counts the result
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok      $what"
    else
        failed=$((failed + 1))
        echo "FAILED  $what"
    fi
}

profile=$(wine_user_dir)
install_dir="$profile/AppData/Local/Programs/Tidemeter"
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tidemeter.lnk"
data_dir=$(wine_data_dir)
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidemeter'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
installed_exe='C:\users\'"${profile##*/}"'\AppData\Local\Programs\Tidemeter\Tidemeter.exe'

reg_value() { # reg_value KEY NAME: prints the value's data
    "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 \{1,\}REG_[A-Z_]\{1,\} \{1,\}//p"
}
reg_has() { [ -n "$(reg_value "$1" "$2")" ]; }
reg_lacks() { ! reg_has "$1" "$2"; }
running() { tide_probe find Tidemeter.Controller >/dev/null; }
not_running() { ! running && [ -z "$(unix_pids Tidemeter.exe)" ]; }
controller_pid() { tide_probe find Tidemeter.Controller | head -n 1 | cut -d' ' -f1; }

# Pixels of the notification area (right end of Wine's taskbar) that differ from the taskbar's colour.
tray_pixels() {
    local shot ref
    shot=$(mktemp --suffix=.png)
    import -window root "$shot" 2>/dev/null
    ref=$(convert "$shot" -format '%[pixel:p{1000,790}]' info:)
    convert "$shot" -crop 24x20+1256+780 +repage -fill black -opaque "$ref" -fill white +opaque black \
        -format '%[fx:round(mean*w*h)]' info:
    rm -f "$shot"
}
tray_shows_icon() { [ "$(tray_pixels)" -gt 20 ]; }

# A fresh start: no program, no entry, no Run value, and the user's files of an earlier version.
rm -rf "$install_dir" "$shortcut" "$data_dir"
"$WINE" reg delete "$uninstall_key" /f >/dev/null 2>&1
"$WINE" reg delete "$run_key" /v Tidemeter /f >/dev/null 2>&1
mkdir -p "$data_dir"
printf '{\n  "schema_version": 1,\n  "monitoring": { "interval_ms": 2000 },\n  "history_mode": 1\n}\n' \
    >"$data_dir/settings.json"
today=$(($(date +%s) / 86400))
printf '{\n  "schema_version": 1,\n  "days": [[%d, 1000, 2000]]\n}\n' "$today" >"$data_dir/usage.json"

echo "== Silent install of $(basename "$setup")"
check "installer exits with 0" "$WINE" "$setup" /S
check "program file installed" test -f "$install_dir/Tidemeter.exe"
check "uninstaller installed" test -f "$install_dir/uninstall.exe"
check "Start-menu shortcut points at the program" \
    grep -qaF 'Programs\Tidemeter\Tidemeter.exe' <(tr -d '\0' <"$shortcut")
check "uninstall entry: DisplayName" test "$(reg_value "$uninstall_key" DisplayName)" = Tidemeter
check "uninstall entry: DisplayVersion $version" test "$(reg_value "$uninstall_key" DisplayVersion)" = "$version"
check "uninstall entry: Publisher" reg_has "$uninstall_key" Publisher
check "uninstall entry: DisplayIcon" test "$(reg_value "$uninstall_key" DisplayIcon)" = "$installed_exe,0"
check "uninstall entry: EstimatedSize" reg_has "$uninstall_key" EstimatedSize
check "uninstall entry: UninstallString" reg_has "$uninstall_key" UninstallString
check "uninstall entry: QuietUninstallString ends in /S" \
    grep -q '" /S$' <<<"$(reg_value "$uninstall_key" QuietUninstallString)"
check "the user's settings are untouched" grep -q '"interval_ms": 2000' "$data_dir/settings.json"

echo "== The installed program"
check "tray is empty before the start" test "$(tray_pixels)" -le 20
(cd /tmp && "$WINE" "$installed_exe" >/dev/null 2>&1 &)
check "program starts (controller window found)" wait_until 60 running
check "tray icon shows" wait_until 30 tray_shows_icon
first_pid=$(controller_pid)
"$WINE" reg add "$run_key" /v Tidemeter /t REG_SZ /d "\"$installed_exe\" --minimized" /f >/dev/null 2>&1

echo "== Silent upgrade over the running program"
check "installer exits with 0" "$WINE" "$setup" /S
check "the running copy was ended" test -z "$(tide_probe find Tidemeter.Controller | grep "^$first_pid ")"
# Only the program writes the whole record (with defaults_rev): it exited the proper way and saved.
check "it saved its settings on the way out" grep -q '"defaults_rev"' "$data_dir/settings.json"
check "settings kept" grep -q '"interval_ms": 2000' "$data_dir/settings.json"
check "usage history kept" grep -q "\[$today" <(tr -d ' \n' <"$data_dir/usage.json")
check "program put back after the upgrade" wait_until 60 running

echo "== Silent uninstall"
"$WINE" "$install_dir/uninstall.exe" /S >/dev/null 2>&1
# The uninstaller runs on from a copy in the temporary folder: wait for its work to show.
check "program folder removed" wait_until 60 test ! -e "$install_dir"
check "program ended" wait_until 30 not_running
check "shortcut removed" test ! -e "$shortcut"
check "uninstall entry removed" wait_until 10 reg_lacks "$uninstall_key" DisplayName
check "Run value removed" reg_lacks "$run_key" Tidemeter
check "settings.json kept" grep -q '"interval_ms": 2000' "$data_dir/settings.json"
check "usage.json kept" grep -q "\[$today" <(tr -d ' \n' <"$data_dir/usage.json")

echo "== Install again, then uninstall with /RemoveData"
check "installer exits with 0" "$WINE" "$setup" /S
"$WINE" "$install_dir/uninstall.exe" /S /RemoveData >/dev/null 2>&1
check "program folder removed" wait_until 60 test ! -e "$install_dir"
check "data folder removed" wait_until 10 test ! -e "$data_dir"

"$WINESERVER" -k 2>/dev/null
stop_xvfb
echo "installer check: $passed passed, $failed failed"
[ "$failed" = 0 ]
