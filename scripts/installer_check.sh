#!/usr/bin/env bash
# The installer's round trip under Wine, in a prefix of its own (build/wine-setup, cleared of every
# trace of the program first): silent install; the installed program starts and shows its tray icon;
# a silent upgrade ends the running program, which saves its files, and keeps them; silent uninstall
# removes the program, the shortcut, the uninstall entry and the Run value and keeps the data;
# /RemoveData removes the data as well. Then the portable zip: unpacked, it keeps its files in Data
# beside the program and nothing in %APPDATA%; unpacked onto a folder that cannot be written, it
# starts, says so once and writes nothing anywhere. Builds the release first (scripts/release.sh,
# which builds twice and compares), and checks SHA256SUMS and the manifests. About 30 s besides the
# release.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ROOT/scripts/wine_tools.sh"
cd "$ROOT"

ensure_packages nsis || exit 1
mkdir -p build/logs
bash scripts/release.sh >build/logs/release.log 2>&1
release_status=$?
cmake --build build/windows --target tide_probe >/dev/null || exit 1
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' build/windows/generated/version.nsh)
setup="$ROOT/build/release/Tidemeter-$version-setup.exe"
zip="$ROOT/build/release/Tidemeter-$version-portable.zip"
[ -f "$setup" ] && [ -f "$zip" ] || { cat build/logs/release.log; echo "release build failed"; exit 1; }

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

echo "== The release"
[ "$release_status" = 0 ] || tail -n 20 build/logs/release.log
check "two builds in two folders are byte-identical (build/logs/release.log)" test "$release_status" = 0
check "SHA256SUMS verifies the downloads" bash -c "cd build/release && sha256sum --quiet -c SHA256SUMS"
check "winget manifests match the schemas, Scoop manifest its shape" \
    python3 scripts/release_files.py check build/release "$version"

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

# unpack FOLDER: the portable zip unpacked into FOLDER; prints the program's folder.
unpack() {
    python3 -m zipfile -e "$zip" "$1" && echo "$1/Tidemeter-$version-portable"
}
# A listing of every file under a folder with its size and time, to compare before and after.
listing() { find "$1" -printf '%P %s %T@\n' | sort; }
start_portable() { (cd /tmp && "$WINE" "$1/Tidemeter.exe" --minimized >/dev/null 2>&1 &); }
message_boxes() { tide_probe find '#32770' | wc -l; }
one_message_box() { [ "$(message_boxes)" = 1 ]; }
no_message_box() { [ "$(message_boxes)" = 0 ]; }
# Each look starts a Wine process, so five of them outlast the program's half-second notice timer.
stays_without_box() { local i; for i in 1 2 3 4 5; do no_message_box || return 1; done; }
end_program() {
    tide_probe post Tidemeter.Controller 0x800C 3 0 >/dev/null
    wait_until 30 not_running
}
portable_tmp=$(mktemp -d)

echo "== The portable zip"
copy=$(unpack "$portable_tmp/rw")
check "the zip holds the program and the portable marker" test -f "$copy/Tidemeter.exe" -a -f "$copy/Tidemeter.portable"
mkdir -p "$copy/Data"
printf '{\n  "schema_version": 1,\n  "monitoring": { "interval_ms": 2000 },\n  "history_mode": 1\n}\n' \
    >"$copy/Data/settings.json"
# A day of history beside it: the copy reads and keeps it there (where it writes is the settings' folder).
printf '{\n  "schema_version": 1,\n  "days": [[%d, 123456789, 5]]\n}\n' $(($(date +%s) / 86400 - 1)) \
    >"$copy/Data/usage.json"
start_portable "$copy"
check "the portable copy starts" wait_until 60 running
check "it ends and saves" end_program
check "its usage kept beside it" grep -q '123456789' "$copy/Data/usage.json"
check "its settings are saved beside it" grep -q '"defaults_rev"' "$copy/Data/settings.json"
check "its settings kept" grep -q '"interval_ms": 2000' "$copy/Data/settings.json"
check "nothing in %APPDATA%" test ! -e "$data_dir"

echo "== The portable zip on a folder that cannot be written"
ro=$(unpack "$portable_tmp/ro")
mkdir -p "$ro/Data"
printf '{\n  "schema_version": 1,\n  "history_mode": 1\n}\n' >"$ro/Data/settings.json"
chmod -R a-w "$portable_tmp/ro"
# The superuser writes through permissions: the folders are made immutable instead, or, where that
# is not allowed, mounted read-only.
ro_mounted=
if touch "$ro/Data/probe" 2>/dev/null; then
    rm -f "$ro/Data/probe"
    chattr +i "$ro" "$ro/Data" 2>/dev/null
fi
if touch "$ro/Data/probe" 2>/dev/null; then
    rm -f "$ro/Data/probe"
    chattr -i "$ro" "$ro/Data" 2>/dev/null
    mount --bind "$ro" "$ro" 2>/dev/null && ro_mounted=1 && mount -o remount,ro,bind "$ro" 2>/dev/null
fi
before=$(listing "$portable_tmp/ro")
check "the folder is really read-only here" bash -c "! touch '$ro/Data/probe' 2>/dev/null"
start_portable "$ro"
check "the read-only copy starts" wait_until 60 running
check "it says so in one message box" wait_until 30 one_message_box
tide_probe post '#32770' 0x0111 1 0 >/dev/null # OK
check "the message goes when answered" wait_until 30 no_message_box
check "no second message comes" stays_without_box
tide_probe post Tidemeter.Controller 0x800B 0 0 >/dev/null # would write usage.json
check "it ends" end_program
check "nothing was written in its folder" test "$(listing "$portable_tmp/ro")" = "$before"
check "nothing in %APPDATA%" test ! -e "$data_dir"
[ -n "$ro_mounted" ] && umount "$ro"
chattr -i "$ro" "$ro/Data" 2>/dev/null
chmod -R u+w "$portable_tmp"
rm -rf "$portable_tmp"

"$WINESERVER" -k 2>/dev/null
stop_xvfb
echo "installer check: $passed passed, $failed failed"
[ "$failed" = 0 ]
