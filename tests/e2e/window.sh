#!/usr/bin/env bash
# The window opens at 600 by 600, stays square when the window manager resizes it,
# and closing it ends the process cleanly.
source "$(dirname "$0")/../helpers/e2e.sh"

start_app

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

close_window
check "closing the window ends the process with status 0" test "$exit_status" = 0

# Without root and without a way to ask for it, the program says so and stops.
if ! command -v pkexec >/dev/null && id nobody >/dev/null 2>&1; then
    status=0
    message=$(runuser -u nobody -- "$app" 2>&1 >/dev/null) || status=$?
    check "an unprivileged start without pkexec ends with status 1" test "$status" = 1
    check "and one line that asks for root" test "$(printf '%s\n' "$message" | grep -c root)" = 1
fi
