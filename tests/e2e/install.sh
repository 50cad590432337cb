#!/usr/bin/env bash
# Selecting two formats and clicking INSTALL puts them on disk; Shift-click removes them.
source "$(dirname "$0")/../helpers/e2e.sh"

start_app

click_at 150 210   # VST3 row
click_at 440 210   # CLAP row
see "a clicked row gets the yellow outline" 24 210 211,197,95

click_at 546 471   # INSTALL
see "the notice box shows over the screen" 350 350 0,0,0
shot=$(screenshot installed)
check "the VST3 bundle is on disk" test -f "$plugins/VST3/Glass Tundra Lights.vst3/Contents/x86_64-win/Glass Tundra Lights.vst3"
check "the CLAP module is on disk" test -f "$plugins/CLAP/Glass Tundra Lights.clap"
check "AAX was not selected and stays away" test ! -e "$plugins/AAX/Glass Tundra Lights.aaxplugin"
check "the installed rows turn blue" pixel_is "$shot" 560 200 2,135,196

click_at 150 282   # the AAX row, through the fading notice
see "a click during the fade reaches the row under it" 24 282 211,197,95
click_at 150 282

sleep 3
see "the notice is gone after the fade" 350 350 17,17,17

click_at 150 210
click_at 440 210
point_at 546 471
plain=$(screenshot shift_not_held)
xdotool keydown shift
changes "holding Shift turns the caption into UNINSTALL" "$plain" 506 505 80 18
xdotool click 1
sleep 0.4
xdotool keyup shift
see "the uninstall notice shows" 350 350 0,0,0
check "Shift-click removed the VST3 bundle" test ! -e "$plugins/VST3/Glass Tundra Lights.vst3"
check "Shift-click removed the CLAP module" test ! -e "$plugins/CLAP/Glass Tundra Lights.clap"
check "the format folders stay" test -d "$plugins/VST3" -a -d "$plugins/CLAP"

close_window
check "closing ends the process with status 0" test "$exit_status" = 0
