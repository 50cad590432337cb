#!/usr/bin/env bash
# The window opens at 600 by 600, stays square when the window manager resizes it,
# even to more than the screen holds, and closing it ends the process cleanly.
source "$(dirname "$0")/../helpers/e2e.sh"

# Started with a umask that lets anyone write, the program still makes the plug-in
# folders named in the settings (they do not exist yet) writable by root alone.
umask 000
start_app
umask 022
check "folders made under a caller's umask 000 are not writable by others" \
    test "$(stat -c %a "$plugins/VST3" "$plugins/CLAP" "$plugins/AAX" | sort -u)" = 755

check "the window's content starts at 600 by 600" test "$(window_size)" = 600x600
screenshot window_600 >/dev/null

xdotool windowsize "$window" 800 700
check "a resize by the window manager ends square" size_becomes 800x800
sleep 0.5

shot=$(screenshot window_800)
check "the screen scales with the window: top bar" pixel_is "$shot" 400 4 0,148,216
check "the screen scales with the window: formats rule" pixel_is "$shot" 400 221 170,166,166

xdotool windowsize "$window" 780 700
check "a resize that mostly changes the height ends square on the height" size_becomes 700x700

# A maximise (openbox: a double-click on the title bar) squares the window to the largest
# side that fits the 1600 by 1200 screen, frame and all, and paints all of it.
double_click_title() { point_at_title_bar && xdotool click --repeat 2 --delay 80 1; }
# True when the window is square, at least min pixels a side, and inside the screen.
square_on_screen() {
    local geometry
    geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')
    read -r x y w h <<<"$geometry"
    [ "$w" = "$h" ] && [ "$w" -ge "$1" ] && [ $((x + w)) -le 1600 ] && [ $((y + h)) -le 1200 ] && return 0
    echo "  the content area is ${w}x${h} at $x,$y" >&2
    return 1
}
settles_square() {
    for _ in $(seq 50); do
        square_on_screen "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    square_on_screen "$1"
}

double_click_title
check "a maximise ends square, as large as the screen's height allows and inside the screen" settles_square 1100
sleep 0.5
shot=$(screenshot window_maximised)
side=$(window_size | cut -dx -f1)
check "the maximised screen is painted: top bar" pixel_is "$shot" $((side / 2)) 4 0,148,216
check "the maximised screen is painted: bottom edge" pixel_is "$shot" $((side / 2)) $((side - 3)) 17,17,17

double_click_title
check "restoring it ends square again" settles_square 300

xdotool windowsize "$window" 2400 2000
check "a window-manager resize past the screen ends square inside the screen" settles_square 1100

close_window
check "closing the window ends the process with status 0" test "$exit_status" = 0

# Without root and without a way to ask for it, the program says so and stops once the
# user chooses to install for everyone.
if ! command -v pkexec >/dev/null && id nobody >/dev/null 2>&1; then
    status=0
    runuser -u nobody -- "$app" >/dev/null 2>"$scratch/out.log" & app_pid=$!
    choose "$everyone"
    wait "$app_pid" || status=$?
    app_pid=
    message=$(cat "$scratch/out.log")
    check "an unprivileged start without pkexec ends with status 1" test "$status" = 1
    check "and one line that asks for root" test "$(printf '%s\n' "$message" | grep -c root)" = 1
fi
