#!/usr/bin/env bash
# velmora.exe (the deployed folder's, on its own DLLs) under Wine on Xvfb,
# driven by real mouse and key events (xdotool): the window appears with its
# title and its values, OPEN on COM1 (mapped to velmora-sim), SET ALL, READ,
# and the READ report shows what SET ALL stored. The Linux velmora does the
# same on the same X server against a twin simulator; both simulators must
# have received the same bytes. A screenshot of the Windows window is kept
# beside the build.
#
#   tests/windows/test-window.sh WINDOWS_BUILD LINUX_BUILD
#
# Where the buttons are comes from velmora-windowprobe (tools/windowprobe),
# which lays the same window out on the same platform and prints their centres
# from the window's top-left corner. No window manager runs on this Xvfb, so
# nothing frames the windows: a window's X11 origin is that corner, Wine's
# too, and a click lands at origin + centre.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
windows_build=$1
linux_bin=$2/bin
source "$windows_build/windows.env"
stage=$windows_build/velmora-$version-win64
title="Velmora V$version"
screenshot=$windows_build/velmora-window-wine.png

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

# probe NAME COMMAND...: the centres COMMAND prints, as "<widget> <x> <y>"
# lines in $work/NAME.buttons (the Windows C runtime ends its lines with CR LF).
probe() {
    local name=$1
    shift
    "$@" 2>"$work/$name.probe.err" | tr -d '\r' >"$work/$name.buttons"
    for widget in Open Config_all READ READ_Edit Port_Edit; do
        grep -Eq "^$widget [0-9]+ [0-9]+\$" "$work/$name.buttons" || return 1
    done
}

# find_window TITLE: the X window of a top-level window so titled.
find_window() { timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }

# at WINDOW NAME WIDGET [DX]: the screen point of the widget's centre (moved DX right).
at() {
    local x y wx wy
    read -r x y < <(xdotool getwindowgeometry --shell "$1" | sed -n 's/^[XY]=//p' | tr '\n' ' ')
    read -r _ wx wy < <(grep "^$3 " "$work/$2.buttons")
    echo "$((x + wx + ${4:-0})) $((y + wy))"
}

# click WINDOW NAME WIDGET: a real mouse click on the widget's centre.
click() {
    local x y
    read -r x y <<<"$(at "$@")"
    xdotool mousemove --sync "$x" "$y" click 1
}

# colour_at X Y: the screen's pixel there, as "R G B" (0 to 255).
colour_at() {
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n 's/^0,0: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# wait_for_colour WINDOW NAME WIDGET red|green: the widget's left part (clear
# of its text) is drawn mostly in that colour, within 15 s. Mostly: each style
# shades a button's background in its own way.
wait_for_colour() {
    local x y r g b
    read -r x y <<<"$(at "$1" "$2" "$3" -40)"
    for _ in $(seq 50); do
        read -r r g b <<<"$(colour_at "$x" "$y")"
        case "$4" in
        red) [ "${r:-0}" -gt $((2 * ${g:-0})) ] && [ "${r:-0}" -gt $((2 * ${b:-0})) ] && return 0 ;;
        green) [ "${g:-0}" -gt $((2 * ${r:-0})) ] && [ "${g:-0}" -gt $((2 * ${b:-0})) ] && return 0 ;;
        esac
        sleep 0.3
    done
    echo "the pixel at $x,$y is ${r:-?} ${g:-?} ${b:-?}, not $4" >&2
    return 1
}

# text_drawn WINDOW NAME WIDGET: there is dark text in the left part of the
# line edit (its value, left-aligned), not only its white ground.
text_drawn() {
    local x y darkest
    read -r x y <<<"$(at "$1" "$2" "$3" -60)"
    darkest=$(import -window root -crop "40x12+$x+$((y - 6))" -colorspace gray -format '%[fx:100*minima]' info: 2>/dev/null)
    echo "the darkest pixel right of $x,$y is at ${darkest:-?} % of white"
    [ -n "$darkest" ] && [ "${darkest%.*}" -lt 50 ]
}

# wait_for_frame SIM WORD: the simulator has received a frame of that command.
wait_for_frame() {
    for _ in $(seq 100); do
        sim_frames "$1" | grep -q " $2" && return 0
        sleep 0.1
    done
    return 1
}

# copy_report WINDOW NAME: the READ report, copied out as a technician would
# (click in it, select all, copy), once it shows what SET ALL stored.
copy_report() {
    for _ in $(seq 20); do
        click "$1" "$2" READ_Edit
        xdotool key --clearmodifiers ctrl+a ctrl+c
        timeout 5 xclip -o -selection clipboard >"$work/$2.report" 2>/dev/null
        grep -q '^LIP:192\.168\.0\.101' "$work/$2.report" && return 0
        sleep 0.3
    done
    cat "$work/$2.report"
    return 1
}

# drive NAME SIM COMMAND...: starts the window, OPEN, SET ALL (of the window's
# own values, not the simulator's), READ.
drive() {
    local name=$1 sim=$2
    shift 2
    # Without the probe's positions every click would miss, each after a wait.
    [ -s "$work/$name.buttons" ] || { echo "$name: not driven, with no button positions"; return 1; }
    "$@" >"$work/$name.out" 2>&1 &
    sim_pids+=($!)  # ended with the simulators
    disown  # its end by a signal is no news
    local window
    window=$(find_window "$title")
    check "$name: the window appears, titled \"$title\"" [ -n "$window" ]
    [ -n "$window" ] || return 1
    check "$name: the window is drawn, OPEN red" wait_for_colour "$window" "$name" Open red
    check "$name: the fields show their values (PORT's 8900)" text_drawn "$window" "$name" Port_Edit
    click "$window" "$name" Open
    check "$name: OPEN by a click opens COM1 (the button turns green)" \
        wait_for_colour "$window" "$name" Open green
    click "$window" "$name" Config_all
    check "$name: SET ALL by a click reaches the device" wait_for_frame "$sim" "SET ALL"
    click "$window" "$name" READ
    check "$name: READ by a click reaches the device" wait_for_frame "$sim" "READ"
    check "$name: the READ report shows what SET ALL stored" copy_report "$window" "$name"
    [ "$name" = windows ] || return 0
    rm -f "$screenshot"
    import -window "$window" "$screenshot" 2>/dev/null
    check "a screenshot of the window under Wine is kept ($screenshot)" [ -s "$screenshot" ]
}

# Under Wine 8.0, Qt's GDI font engine (the windows platform's default) draws
# no text in a QLineEdit, though it does in labels, buttons, combo boxes and
# the report: the window's values would not show. Qt's FreeType engine draws
# them; Windows itself needs no such option.
wine_font_engine=WINEQT_QPA_PLATFORM=windows:fontengine=freetype
check "velmora-windowprobe.exe under Wine says where the buttons are" \
    probe windows env WINEPATH="$WINEPATH" "$wine_font_engine" "$WINE" "$windows_build/bin/velmora-windowprobe.exe"
# The deployed folder's program, on its own DLLs.
drive windows w1 env -u WINEPATH "$wine_font_engine" "$WINE" "$stage/velmora.exe"
"$WINESERVER" -k >/dev/null 2>&1

export XDG_CONFIG_HOME=$work/config  # no saved mapping of this run stays behind
export QT_QPA_PLATFORM=xcb
check "velmora-windowprobe says where the Linux window's buttons are" \
    probe linux "$linux_bin/velmora-windowprobe"
drive linux l1 "$linux_bin/velmora" --port "COM1=$(sim_port l1)"

same_frames() {
    [ -n "$(sim_frames w1)" ] || { echo "no frame reached the device" >&2; return 1; }
    diff <(sim_frames w1) <(sim_frames l1)
}
check "the same bytes on the line as from the Linux window" same_frames

finish
