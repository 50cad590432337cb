#!/usr/bin/env bash
# The real pointer over the main screen: hover shades, the help line, selection.
source "$(dirname "$0")/../helpers/e2e.sh"

mkdir -p "$plugins/AAX/Glass Tundra Lights.aaxplugin"   # an installed AAX, as far as the screen can tell
start_app

point_at 300 590
rest=$(screenshot rest)
point_at 528 147
select=$(screenshot hover_select_all)
check "hovering SELECT ALL keeps what the help line showed" region_same "$rest" "$select" 24 540 552 18

point_at 150 210
see "hovering a missing format lightens its row" 280 200 94,92,92
vst3=$(screenshot hover_vst3)
check "hovering a row writes the help line" region_differs "$rest" "$vst3" 24 540 552 18

point_at 150 282
see "hovering an installed format shows full blue" 280 270 0,148,216
aax=$(screenshot hover_aax)
check "an installed format's help line differs from a missing one's" region_differs "$vst3" "$aax" 24 540 552 18

point_at 300 590
see "leaving a button empties the help line" 300 549 17,17,17
see "leaving the row restores its resting shade" 280 200 71,69,69
left=$(screenshot left)

point_at 546 471
see "hovering an extras button deepens its shade" 520 470 131,128,128
check "the help line was not empty before any button was hovered" region_differs "$select" "$left" 24 540 552 18

click_at 528 147
for row in "24 210" "306 210" "24 282"; do
    see "SELECT ALL outlines every row ($row)" $row 211,197,95
done

close_window
check "closing ends the process with status 0" test "$exit_status" = 0
