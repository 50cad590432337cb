#!/usr/bin/env bash
# The whole installer from the keyboard alone: Tab to the formats, Space to select them,
# Return on INSTALL, Shift+Return to uninstall, Escape to close the licence page.
source "$(dirname "$0")/../helpers/e2e.sh"

keys() { xdotool key --delay 120 "$@"; sleep 0.3; }
ring_on_vst3="28 210"
grey_row=71,69,69

start_app
see "the window opens with no focus shown" $ring_on_vst3 $grey_row

keys Tab
see "the first Tab shows the focus ring on VST3" $ring_on_vst3 245,245,245
keys space
see "Space selects VST3" 24 210 211,197,95
keys Tab space
see "Tab and Space select CLAP" 306 210 211,197,95

keys shift+Tab shift+Tab   # back past VST3, round to INSTALL
keys Return
see "Return on INSTALL shows the notice" 350 350 0,0,0
check "the VST3 bundle is on disk" test -f "$plugins/VST3/Glass Tundra Lights.vst3/Contents/x86_64-win/Glass Tundra Lights.vst3"
check "the CLAP module is on disk" test -f "$plugins/CLAP/Glass Tundra Lights.clap"
check "AAX was not selected and stays away" test ! -e "$plugins/AAX/Glass Tundra Lights.aaxplugin"
sleep 3   # the notice fades away

keys Tab space Tab space shift+Tab shift+Tab
keys shift+Return
see "Shift+Return shows the notice again" 350 350 0,0,0
check "Shift+Return removed the VST3 bundle" test ! -e "$plugins/VST3/Glass Tundra Lights.vst3"
check "Shift+Return removed the CLAP module" test ! -e "$plugins/CLAP/Glass Tundra Lights.clap"
sleep 3   # the notice fades away

keys shift+Tab shift+Tab shift+Tab shift+Tab   # SUPPORT, WEBSITE, MANUAL, EULA
keys Return
see "Return on EULA opens the licence page" 280 200 17,17,17
keys Next Next
keys Escape
see "Escape closes the licence page" 280 200 $grey_row
keys Return
see "the focus went back to EULA, which opens the page again" 280 200 17,17,17
keys Escape
see "and Escape closes it again" 280 200 $grey_row

close_window
check "closing ends the process with status 0" test "$exit_status" = 0
