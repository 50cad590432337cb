#!/usr/bin/env bash
# The licence and support pages open and close with real clicks.
source "$(dirname "$0")/../helpers/e2e.sh"

start_app
point_at 300 590
main=$(screenshot main_before_pages)

click_at 54 471   # EULA
see "the licence page covers the rows" 280 200 17,17,17
eula=$(screenshot licence_page)
check "its heading is painted" region_differs "$main" "$eula" 24 10 200 30

point_at 552 33
hover=$(screenshot licence_close_hover)
check "the close mark brightens under the pointer" region_differs "$eula" "$hover" 540 21 24 24

click_at 531 12   # a corner of the close square, outside the drawn circle
see "the close square closes the licence page" 280 200 71,69,69

click_at 261 471  # SUPPORT
see "the support page covers the rows" 280 200 17,17,17
see "its DISCORD face rests half-transparent" 63 120 94,92,92
support=$(screenshot support_page)
point_at 90 120
see "its DISCORD face deepens under the pointer" 63 120 131,128,128
xdotool mousedown 1
see "its DISCORD face turns green while pressed" 63 120 134,207,122
point_at 300 590   # let go away from the button, so no browser opens
xdotool mouseup 1
check "the about text is painted" region_differs "$main" "$support" 60 390 480 60

click_at 552 33
see "the close mark closes the support page" 280 200 71,69,69

close_window
check "closing ends the process with status 0" test "$exit_status" = 0
