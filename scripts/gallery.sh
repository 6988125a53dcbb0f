#!/usr/bin/env bash
# Screenshot gallery: starts Tidemeter.exe under Wine with chosen settings (themes, English and Arabic)
# and captures what the program shows into docs/gallery: the dashboard, the taskbar and desktop
# read-outs, the tray menu, the settings window and the usage history. A window the program does not
# have (yet) is skipped with a note. Images are reduced to a small palette to keep the gallery light.
#
# The usage history is a year of varied days written as usage.json in the program's own format, with
# a monthly and a daily limit set. The dashboard's graph is real traffic from the private network lab
# (scripts/netlab.sh, root): the whole gallery runs in the lab's namespace, where its HTTP server's file
# is fetched at changing, then steady, speed limits while the graph fills, and the pictures are taken
# while the steady traffic still flows, so that the big cards show the rate the graph ends with.
#
#   bash scripts/gallery.sh [OUTPUT_FOLDER]     (default docs/gallery)
#   bash scripts/gallery.sh taskbars [FOLDER]   only the picture of two monitors with a read-out on each
#                                               taskbar (scripts/two_monitors.sh, stand-in taskbars)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ROOT/scripts/wine_tools.sh"
cd "$ROOT"

if [ "${1:-}" = taskbars ]; then
    cmake --preset windows >/dev/null && cmake --build --preset windows --target Tidemeter tide_probe >/dev/null ||
        { echo "build failed" >&2; exit 1; }
    exec bash "$ROOT/scripts/two_monitors.sh" bash "$ROOT/scripts/gallery.sh" --on-two-monitors \
        "$(realpath -m "${2:-docs/gallery}")"
fi
if [ "${1:-}" = --on-two-monitors ]; then
    data_dir=$(wine_data_dir)
    rm -rf "$data_dir" && mkdir -p "$data_dir"
    # Laid over the taskbars (Wine never draws a read-out embedded in a window of another program), in
    # the theme's box: without a compositing window manager the see-through native style shows black.
    printf '{"schema_version": 1, "language": "en", "compact": {"every_taskbar": true, "embed_in_taskbar": false,
        "native_style": false, "layout": 1, "opacity_pct": 100}}\n' >"$data_dir/settings.json"
    mkdir -p "$2"
    coproc bars { "$WINE" "$ROOT/build/windows/tide_probe.exe" taskbars 2>/dev/null; }
    read -r -t 60 _ <&"${bars[0]}" || { echo "the stand-in taskbars did not start" >&2; exit 1; }
    (cd /tmp && exec "$WINE" "$ROOT/build/windows/Tidemeter.exe" --minimized >/dev/null 2>&1 &)
    two_readouts() { [ "$(tide_probe rect Tidemeter.Compact | wc -l)" -ge 2 ]; }
    wait_until 60 two_readouts || { echo "no read-out on each taskbar" >&2; exit 1; }
    sleep 5 # a few samples, so that the figures are not the first dashes
    shot=$(mktemp --suffix=.png)
    import -window root "$shot" 2>/dev/null
    # The bottom of both monitors: the main one is 800 pixels high, the other 768.
    convert "$shot" -crop 2304x110+0+690 +repage -strip -colors 64 "PNG8:$2/taskbars-two-monitors-en.png"
    rm -f "$shot"
    echo "  taskbars-two-monitors-en.png"
    exit 0
fi

out=$(realpath -m "${1:-docs/gallery}")
ensure_packages xdotool || exit 1
if [ -z "${TIDE_LAB_URL:-}" ]; then
    exec bash "$ROOT/scripts/netlab.sh" --mb 64 bash "$ROOT/scripts/gallery.sh" "$out"
fi
export TIDE_PREFIX="$ROOT/build/wine-gallery"
prepare_prefix
cmake --preset windows >/dev/null && cmake --build --preset windows --target Tidemeter tide_probe tide_winrt_standin >/dev/null ||
    { echo "build failed" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w
mkdir -p "$out"
start_xvfb || exit 1
traffic_pid=
stop_traffic() {
    [ -n "$traffic_pid" ] && kill -- "-$traffic_pid" 2>/dev/null
    traffic_pid=
}
trap 'stop_traffic; "$WINESERVER" -k 2>/dev/null; stop_xvfb' EXIT
"$WINESERVER" -p
data_dir=$(wine_data_dir)
shot=$(mktemp --suffix=.png)

# The Apps view's figures come from the tests' stand-in Windows Runtime class (Wine has none),
# registered in this prefix and reading a few programs' bytes from a file named by its variable.
apps_answer="$ROOT/build/gallery-apps.json"
cat >"$apps_answer" <<'JSON'
{"mode": "complete", "delay_ms": 300, "internet": 0, "profiles": [{"level": 3, "apps": [
 {"id": "\\Device\\HarddiskVolume3\\Program Files\\Mozilla Firefox\\firefox.exe", "name": "", "sent": 52000000, "received": 1480000000},
 {"id": "Microsoft.WindowsStore_8wekyb3d8bbwe", "name": "Microsoft Store", "sent": 1000000, "received": 640000000},
 {"id": "", "name": "", "sent": 3000000, "received": 210000000},
 {"id": "\\Device\\HarddiskVolume3\\Program Files\\Steam\\steam.exe", "name": "", "sent": 4000000, "received": 96000000},
 {"id": "\\Device\\HarddiskVolume3\\Tools\\backup.exe", "name": "", "sent": 88000000, "received": 2000000}]}]}
JSON
"$WINE" reg add 'HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId\Windows.Networking.Connectivity.NetworkInformation' \
    /v DllPath /t REG_SZ /d "Z:${ROOT//\//\\}\\build\\windows\\tide_winrt_standin.dll" /f >/dev/null 2>&1
export TIDE_STANDIN_USAGE="Z:${apps_answer//\//\\}"

# save NAME X Y WIDTH HEIGHT: crops the last screenshot into $out/NAME.png, clipped to the screen.
save() {
    local name=$1 x=$2 y=$3 w=$4 h=$5
    ((x < 0)) && { w=$((w + x)); x=0; }
    ((y < 0)) && { h=$((h + y)); y=0; }
    ((x + w > 1280)) && w=$((1280 - x))
    ((y + h > 800)) && h=$((800 - y))
    convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage -strip -colors 192 "PNG8:$out/$name.png"
    echo "  $name.png ($(du -k "$out/$name.png" | cut -f1) KB)"
}
grab() { import -window root "$shot" 2>/dev/null; }
first_rect() { tide_probe rect "$1" | head -n 1; }
menu_closed() { ! tide_probe rect '#32768' >/dev/null; }
# painted X Y WIDTH HEIGHT: takes a screenshot; true when that part of it is more than a few flat colours.
painted() {
    grab
    [ "$(convert "$shot" -crop "${3}x${4}+${1}+${2}" +repage -format '%k' info:)" -gt 16 ]
}
# light X Y WIDTH HEIGHT: takes a screenshot; true when that part of it is mostly light, as the settings
# window is once it has painted (until then the window behind it shows through).
light() {
    grab
    convert "$shot" -crop "${3}x${4}+${1}+${2}" +repage -colorspace Gray -format '%[fx:mean > 0.85 ? 1 : 0]' info: |
        grep -q 1
}

# write_usage FILE: usage.json as the program writes it, for 400 days up to today: weekdays lighter
# than weekends, a slow swell over the weeks, one heavy day and a few days without any traffic.
write_usage() {
    local offset today back day down up first=1
    offset=$(date +%z)
    offset=$(((10#${offset:1:2} * 3600 + 10#${offset:3:2} * 60) * (${offset:0:1}1)))
    today=$((($(date +%s) + offset) / 86400))
    {
        printf '{\n  "schema_version": 1,\n  "days": ['
        for ((back = 400; back >= 0; back--)); do
            case $back in 4 | 5 | 17 | 40 | 41) continue ;; esac
            day=$((today - back))
            down=$((110 + (back * 7919 % 37) * 9 + (back % 9 < 4 ? back % 9 : 8 - back % 9) * 45))
            (((day + 3) % 7 >= 5)) && down=$((down + 260))
            ((back == 9)) && down=2600
            ((back == 0)) && down=150
            up=$((down * (6 + back * 31 % 13) / 100))
            ((first)) || printf ','
            first=0
            printf '\n    [\n      %d,\n      %d000000,\n      %d000000\n    ]' "$day" "$down" "$up"
        done
        printf '\n  ]\n}\n'
    } >"$1"
}

# Real traffic through the measured interface from the lab's server: a few rates (KB/s, seconds)
# with short pauses, so that the graph rises and falls, then a steady rate until the next run, so that
# the pictures show it live.
make_traffic() {
    # A process group of its own, so that stopping it stops the fetch under way too. The lab's link
    # sets the pace: a client's own limit comes out in bursts at the interface.
    setsid bash -c '
        for step in 3000:5 900:4 2200:5 600:3 4500:4; do
            sh "$TIDE_LAB_LINK" rate "${step%%:*}"
            curl -s --max-time "${step#*:}" -o /dev/null "$TIDE_LAB_URL"
            sleep 1
        done
        sh "$TIDE_LAB_LINK" rate 2500
        while :; do
            curl -s --max-time 20 -o /dev/null "$TIDE_LAB_URL"
        done' &
    traffic_pid=$!
}

# run_program LANGUAGE THEME DESKTOP_LEFT DESKTOP_TOP: a fresh data folder, then the program with the
# dashboard shown, both read-outs on and the desktop read-out at the given place. The taskbar read-out
# is laid over the taskbar: Wine does not draw a layered window embedded in another process's window.
run_program() {
    stop_traffic
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w
    "$WINESERVER" -p
    rm -rf "$data_dir"
    mkdir -p "$data_dir"
    write_usage "$data_dir/usage.json"
    cat >"$data_dir/settings.json" <<JSON
{
  "schema_version": 1,
  "defaults_rev": 3,
  "language": "$1",
  "monitoring": { "interval_ms": 1000 },
  "compact": { "enabled": true, "mode": 0, "on_taskbar": true, "embed_in_taskbar": false, "theme": "$2" },
  "desktop": { "enabled": true, "mode": 1, "theme": "$2",
               "floating_rect": { "l": $3, "t": $4, "r": $(($3 + 160)), "b": $(($4 + 40)) } },
  "main_window": { "theme": "$2", "width": 760, "height": 520, "x": 40, "y": 40, "start_minimized": false },
  "usage_window": { "width": 760, "height": 540, "x": 70, "y": 200 },
  "history_window_s": 60,
  "history_mode": 1,
  "history_retention_days": 400,
  "monthly_warning_mb": 20000,
  "daily_warning_mb": 1500
}
JSON
    (cd /tmp && "$WINE" "$ROOT/build/windows/Tidemeter.exe" >/dev/null 2>&1 &)
    wait_until 60 tide_probe find Tidemeter.Controller >/dev/null || { echo "the program did not start" >&2; exit 1; }
    make_traffic
    sleep 32 # the graph fills with the traffic and ends on the steady rate; read-outs filled in
}

# capture SUFFIX WHAT...: the named views of the running program, saved with SUFFIX.
capture() {
    local suffix=$1
    shift
    local what rect x y w h
    for what in "$@"; do
        case $what in
        overview)
            grab
            save "overview-$suffix" 0 0 1280 800
            ;;
        dashboard)
            rect=$(first_rect Tidemeter.Main)
            [ -n "$rect" ] || { echo "  (no dashboard window yet)"; continue; }
            read -r x y w h <<<"$rect"
            wait_until 15 painted "$x" "$y" "$w" "$h"
            save "dashboard-$suffix" "$x" "$y" "$w" "$h"
            ;;
        readouts)
            local found=0
            while read -r x y w h; do
                [ -n "$x" ] || continue
                found=1
                grab
                if ((y + h >= 740)); then # on or just above the taskbar: show it with the taskbar's end
                    save "taskbar-$suffix" $((x - 200)) $((y - 8)) $((1280 - x + 200)) $((800 - y + 8))
                else
                    save "desktop-$suffix" $((x - 12)) $((y - 12)) $((w + 24)) $((h + 24))
                fi
            done < <(tide_probe rect Tidemeter.Compact)
            ((found)) || echo "  (no read-out windows yet)"
            ;;
        tray)
            # The menu opens at the mouse: put it on the tray icon, as a right click would.
            xdotool mousemove 1268 790
            tide_probe post Tidemeter.Controller 0x8002 0 0x7B >/dev/null # tray event WM_CONTEXTMENU
            if wait_until 10 tide_probe rect '#32768' >/dev/null; then
                xdotool mousemove 1200 795 # off the icon, so that its tooltip goes
                sleep 1
                grab
                read -r x y w h <<<"$(first_rect '#32768')"
                save "tray-menu-$suffix" $((x - 8)) $((y - 8)) $((1280 - x + 8)) $((800 - y + 8))
                tide_probe post '#32768' 0x0100 0x1B 0 >/dev/null # Escape
                xdotool mousemove 1150 700 click 1 # the empty desktop: no window comes forward
                wait_until 10 menu_closed
            else
                echo "  (the tray menu did not open)"
            fi
            ;;
        usage)
            tide_probe post Tidemeter.Controller 0x800C 4 0 >/dev/null # the dashboard's "Usage history…"
            if wait_until 10 tide_probe rect Tidemeter.Usage >/dev/null; then
                read -r x y w h <<<"$(first_rect Tidemeter.Usage)"
                wait_until 15 painted "$x" "$y" "$w" "$h"
                sleep 2 # shown and painted before the pointer comes
                xdotool mousemove $((x + w * 70 / 100 - 9)) $((y + h * 65 / 100)) # the read-out of a bar
                sleep 0.5
                xdotool mousemove $((x + w * 70 / 100)) $((y + h * 65 / 100))
                sleep 2
                grab
                save "usage-days-$suffix" "$x" "$y" "$w" "$h"
                tide_probe post Tidemeter.Usage 0x0111 4102 0 >/dev/null # "Months"
                xdotool mousemove $((x + w * 45 / 100 - 9)) $((y + h * 65 / 100))
                sleep 0.5
                xdotool mousemove $((x + w * 45 / 100)) $((y + h * 65 / 100))
                sleep 3
                grab
                save "usage-months-$suffix" "$x" "$y" "$w" "$h"
                xdotool mousemove 1150 700
                tide_probe post Tidemeter.Usage 0x0111 4105 0 >/dev/null # "Apps"
                sleep 4 # the stand-in answers after 300 ms; the connections after their first reading
                grab
                save "usage-apps-$suffix" "$x" "$y" "$w" "$h"
                xdotool mousemove 1150 700
                tide_probe post Tidemeter.Usage 0x0010 0 0 >/dev/null # closed again
            else
                echo "  (no usage window yet)"
            fi
            ;;
        settings)
            tide_probe post Tidemeter.Controller 0x800C 1 0 >/dev/null # the dashboard's Settings button
            if wait_until 10 tide_probe rect Tidemeter.Settings >/dev/null; then
                read -r x y w h <<<"$(first_rect Tidemeter.Settings)"
                wait_until 20 light "$x" "$y" "$w" "$h" || echo "  (the settings window did not finish painting)"
                save "settings-$suffix" "$x" "$y" "$w" "$h"
            else
                echo "  (no settings window yet)"
            fi
            ;;
        esac
    done
}

echo "Gallery into $out"
echo "English, Midnight"
run_program en Midnight 900 200
capture midnight-en dashboard overview readouts tray usage settings
echo "English, Minimal White"
run_program en "Minimal White" 900 200
capture light-en dashboard readouts usage
echo "English, Ocean Blue"
run_program en "Ocean Blue" 900 200
capture ocean-en readouts
echo "Arabic, Sunset"
run_program ar Sunset 900 200
capture sunset-ar dashboard overview readouts tray usage settings

tide_probe post Tidemeter.Controller 0x800C 3 0 >/dev/null
rm -f "$shot"
echo "Gallery: $(du -ck "$out"/*.png 2>/dev/null | tail -n 1 | cut -f1) KB in $(ls "$out"/*.png 2>/dev/null | wc -l) images"
