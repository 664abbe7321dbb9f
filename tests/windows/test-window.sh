#!/usr/bin/env bash
# velmora.exe (the deployed folder's, on its own DLLs) under Wine on Xvfb,
# driven by real mouse and key events (xdotool): the window appears with its
# title, OPEN on COM1 (mapped to velmora-sim), SET ALL, READ, and the READ
# report shows the device's values. The Linux velmora does the same on the
# same X server against a twin simulator; both simulators must have received
# the same bytes. A screenshot of the Windows window is kept beside the build.
#
#   tests/windows/test-window.sh WINDOWS_BUILD LINUX_BUILD
#
# Where the buttons are comes from velmora-windowprobe (tools/windowprobe),
# which lays the same window out on the same platform and prints their centres.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
windows_build=$1
linux_bin=$2/bin
source "$windows_build/windows.env"
stage=$windows_build/velmora-$version-win64
title="Velmora V$version"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
sim_pids+=($!)
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=:$(cat "$work/display")

wine_start
start_sim w1
start_sim l1
wine_map_ports COM1="$(sim_port w1)"

# find_window TITLE: the X window of a top-level window so titled.
find_window() { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
window_origin() { xdotool getwindowgeometry --shell "$1" | sed -n 's/^[XY]=//p' | tr '\n' ' '; }

# probe NAME COMMAND...: where COMMAND's window puts its buttons, as
# "<button> <x> <y>" lines in $work/NAME.buttons, x and y from the X11 origin.
probe() {
    local name=$1
    shift
    "$@" 6000 >"$work/$name.probe" 2>"$work/$name.probe.err" &
    local pid=$!
    local window
    window=$(find_window velmora-windowprobe)
    sleep 1
    read -r x y <<<"$(window_origin "$window")"
    wait "$pid"
    read -r _ client_x client_y < <(grep '^client ' "$work/$name.probe")
    grep -v '^client ' "$work/$name.probe" | tr -d '\r' |
        while read -r button bx by; do
            echo "$button $((client_x - x + bx)) $((client_y - y + by))"
        done >"$work/$name.buttons"
    [ -s "$work/$name.buttons" ]
}

# click WINDOW NAME BUTTON: a real mouse click on the button's centre.
click() {
    local x y bx by
    read -r x y <<<"$(window_origin "$1")"
    read -r _ bx by < <(grep "^$3 " "$work/$2.buttons")
    xdotool mousemove --sync "$((x + bx))" "$((y + by))" click 1
}

# wait_for_frame SIM WORD: the simulator has received a frame of that command.
wait_for_frame() {
    for _ in $(seq 100); do
        sim_frames "$1" | grep -q " $2" && return 0
        sleep 0.1
    done
    return 1
}

# drive NAME SIM COMMAND...: starts the window, OPEN, SET ALL, READ.
drive() {
    local name=$1 sim=$2
    shift 2
    "$@" >"$work/$name.out" 2>&1 &
    sim_pids+=($!)  # ended with the simulators
    local window
    window=$(find_window "$title")
    check "$name: the window appears, titled \"$title\"" [ -n "$window" ]
    [ -n "$window" ] || return 1
    sleep 2  # drawn, and ready for input
    click "$window" "$name" Open
    sleep 1
    click "$window" "$name" Config_all
    check "$name: SET ALL reached the device" wait_for_frame "$sim" "SET ALL"
    click "$window" "$name" READ
    check "$name: READ reached the device" wait_for_frame "$sim" "READ"
    sleep 1
    # The report, copied out as a technician would: click in it, select all, copy.
    click "$window" "$name" READ_Edit
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 1
    xclip -o -selection clipboard >"$work/$name.report" 2>/dev/null
    check "$name: the READ report shows the device's local IP" grep -q '10\.20\.30\.40' "$work/$name.report"
}

check "the buttons of the window under Wine are found" \
    probe windows env WINEPATH="$WINEPATH" "$WINE" "$windows_build/bin/velmora-windowprobe.exe"
# The deployed folder's program, on its own DLLs.
drive windows w1 env -u WINEPATH -u QT_PLUGIN_PATH "$WINE" "$stage/velmora.exe"
import -window root "$windows_build/velmora-window-wine.png" 2>/dev/null
check "a screenshot of the window under Wine is kept" [ -s "$windows_build/velmora-window-wine.png" ]
"$WINESERVER" -k >/dev/null 2>&1

export XDG_CONFIG_HOME=$work/config  # no saved mapping of this run stays behind
check "the buttons of the Linux window are found" env QT_QPA_PLATFORM=xcb probe linux "$linux_bin/velmora-windowprobe"
QT_QPA_PLATFORM=xcb drive linux l1 "$linux_bin/velmora" --port "COM1=$(sim_port l1)"
check "the same bytes on the line as from the Linux window" diff <(sim_frames w1) <(sim_frames l1)

finish
