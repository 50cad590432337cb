# Shared steps of the end-to-end tests: the real program in a real window on the
# test display, driven with real pointer and key events.
#
# The program runs as root in a private mount namespace with an empty tmpfs over
# /opt (where it keeps the shared settings file), and a settings file that points
# the three plug-in folders into this test's scratch folder, so the machine's real
# folders are never touched.

set -euo pipefail

app=$1
scratch=$(mktemp -d /tmp/plugin-manager-e2e.XXXXXX)
plugins="$scratch/plugins"
shots="${TEST_ARTEFACT_DIR:-$scratch}"
mkdir -p "$plugins" "$shots"
app_pid=
window=

fail() { echo "FAILED: $*" >&2; exit 1; }
check() { local what=$1; shift; "$@" || fail "$what"; echo "ok: $what"; }

cleanup() {
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

write_settings() {
    cat >"$scratch/settings.txt" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Plugin_Manager_Settings CLAP_Path="$plugins/CLAP" VST3_Path="$plugins/VST3" AAX_Path="$plugins/AAX"/>
XML
}

start_app() {
    [ -f "$scratch/settings.txt" ] || write_settings
    xdotool mousemove 0 0   # away from where the window will open
    unshare --mount --propagation private bash -c '
        mount -t tmpfs tmpfs /opt
        mkdir -p "/opt/Tovin Drift"
        cp "$1/settings.txt" "/opt/Tovin Drift/PluginManagerSettings.txt"
        exec "$2"' _ "$scratch" "$app" >"$scratch/app.log" 2>&1 &
    app_pid=$!
    find_window
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    sleep 0.5
}

# Finds this test's window (one from the test before may still be going away).
# The search walks every window of the display, and this xdotool ends with a
# BadWindow error when another test's window goes away during the walk, so a
# failed walk is simply tried again.
find_window() {
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --pid "$app_pid" --name '^td_installer$' 2>/dev/null | head -n 1) || true
        [ -n "$window" ] && return 0
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$scratch/app.log" >&2
    fail "no window named td_installer"
}

# The choice page's window, and a click on one of its two choices (its content is
# 480 px square: EVERYONE across 22 to 34 hundredths of it, JUST ME across 56 to 68).
find_choice() {
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name '^td_installer$' 2>/dev/null | head -n 1) || true
        [ -n "$window" ] && [ "$(window_size)" = 480x480 ] && return 0
        sleep 0.1
    done
    cat "$scratch/out.log" >&2 2>/dev/null || true
    fail "no choice page"
}
choose() {
    find_choice
    sleep 0.5
    screenshot choice_page >/dev/null
    click_at 240 "$1"
}
everyone=134 just_me=298

# Width and height of the window's content area.
window_size() {
    xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# Waits a few seconds for the content area to reach a size.
size_becomes() {
    for _ in $(seq 50); do
        [ "$(window_size)" = "$1" ] && return 0
        sleep 0.1
    done
    echo "  the content area is $(window_size)" >&2
    return 1
}

# Moves the real pointer to a point of the content area (pixels from its top left).
point_at() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.3; }
click_at() { point_at "$1" "$2"; xdotool click 1; sleep 0.4; }

screenshot() {
    import -window "$window" "$shots/$1.png"
    echo "$shots/$1.png"
}

# The colour of one pixel of a screenshot, as "r,g,b".
pixel() {
    convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)],%[fx:int(255*p{'"$2"','"$3"'}.g)],%[fx:int(255*p{'"$2"','"$3"'}.b)]' info:
}

# True when pixel x,y of a screenshot is within 6 of r,g,b in every channel.
pixel_is() {
    local actual expected=$4
    actual=$(pixel "$1" "$2" "$3")
    python3 - "$actual" "$expected" <<'PY' || { echo "  pixel $2,$3 is $actual, expected $expected" >&2; return 1; }
import sys
a = [int(v) for v in sys.argv[1].split(",")]
e = [int(v) for v in sys.argv[2].split(",")]
sys.exit(0 if all(abs(x - y) <= 6 for x, y in zip(a, e)) else 1)
PY
}

# True when two screenshots differ inside the rectangle x,y,w,h.
region_differs() {
    local geometry="$5x$6+$3+$4"
    ! cmp -s <(convert "$1" -crop "$geometry" rgb:-) <(convert "$2" -crop "$geometry" rgb:-)
}

region_same() { ! region_differs "$@"; }

# Checks that a region of the window comes to differ from an earlier screenshot,
# looking again for a few seconds while the program catches up.
changes() {
    local what=$1 before=$2 x=$3 y=$4 w=$5 h=$6
    for _ in $(seq 30); do
        region_differs "$before" "$(screenshot "changes")" "$x" "$y" "$w" "$h" && { echo "ok: $what"; return 0; }
        sleep 0.2
    done
    fail "$what"
}

# Checks a pixel of the window, looking again for a few seconds while the program
# catches up: a busy machine may take a while to repaint.
see() {
    local what=$1 x=$2 y=$3 colour=$4 shot
    for _ in $(seq 30); do
        shot=$(screenshot "see")
        pixel_is "$shot" "$x" "$y" "$colour" 2>/dev/null && { echo "ok: $what"; return 0; }
        sleep 0.2
    done
    pixel_is "$shot" "$x" "$y" "$colour" || true
    fail "$what"
}

# CPU time the program has used so far, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat" 2>/dev/null; }

# Waits (up to 30 s) until the program has used no CPU for half a second: it has
# handled every event so far, painted, and finished any fade, so a key now reaches a
# program that waits for it.
wait_idle() {
    local last now quiet=0
    last=$(cpu_ticks) || return 1
    for _ in $(seq 300); do
        sleep 0.1
        now=$(cpu_ticks) || return 1
        if [ "$now" = "$last" ]; then
            quiet=$((quiet + 1))
            [ "$quiet" -ge 5 ] && return 0
        else
            quiet=0
        fi
        last=$now
    done
    return 1
}

# Moves the real pointer onto the title bar that the window manager draws above the content.
point_at_title_bar() {
    local left top
    eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { print "left=" $4 } /Absolute upper-left Y/ { print "top=" $4 }')"
    xdotool mousemove $((left + 100)) $((top - 8))
}

# Gives the window the keyboard focus, which openbox's Alt+F4 acts on: asked for through
# the window manager, and where that does not take, as a user does, by a click on the
# title bar.
focus_window() {
    for attempt in $(seq 50); do
        timeout 2 xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] && return 0
        [ $((attempt % 10)) = 0 ] && point_at_title_bar && xdotool click 1
        sleep 0.1
    done
    return 1
}

# What the program and its window were doing, for a failure message.
describe_app() {
    local stat wm="not running"
    kill -0 "$(cat "/tmp/plugin-manager-display-${DISPLAY#:}/openbox.pid" 2>/dev/null)" 2>/dev/null && wm=running
    stat=$(cat "/proc/$app_pid/stat" 2>/dev/null) || { echo "the process has ended (the window manager is $wm)"; return; }
    echo "the process is in state $(awk '{ print $3 }' <<<"$stat") with $(cpu_ticks) ticks of CPU used," \
        "waiting in $(cat "/proc/$app_pid/wchan" 2>/dev/null || echo '?');" \
        "its window is $(xwininfo -id "$window" 2>/dev/null | awk '/Map State:/ { print $3 }' || echo gone)" \
        "at $(window_size 2>/dev/null), and the focused window is $(xdotool getactivewindow 2>/dev/null || echo none)" \
        "(the program's is $window), the window manager is $wm; its last output: $(tail -n 3 "$scratch/app.log" | tr '\n' ' ')"
}

# Closes the window as a user does and leaves the process's exit status in exit_status.
close_window() {
    wait_idle || fail "the program was still busy before closing: $(describe_app)"
    focus_window || fail "the window did not take the focus for Alt+F4: $(describe_app)"
    xdotool key alt+F4
    exit_status=0
    timeout 20 tail --pid="$app_pid" -f /dev/null || fail "the process did not end within 20 s of Alt+F4: $(describe_app)"
    wait "$app_pid" || exit_status=$?
    app_pid=
}
