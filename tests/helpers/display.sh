#!/usr/bin/env bash
# Starts or stops the virtual display the tests draw on: an X server with a small
# window manager, as every desktop has one (without it, windows get no close
# message and no resizable frame).
set -u
action=$1 display=$2
number=${display#:}
state="/tmp/plugin-manager-display-$number"

case "$action" in
start)
    "$0" stop "$display" >/dev/null 2>&1
    mkdir -p "$state"
    Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
        xdpyinfo -display "$display" >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo -display "$display" >/dev/null 2>&1 || { echo "Xvfb did not start"; cat "$state/xvfb.log"; exit 1; }
    DISPLAY=$display openbox >"$state/openbox.log" 2>&1 &
    echo $! >"$state/openbox.pid"
    for _ in $(seq 100); do
        DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
        sleep 0.1
    done
    echo "display $display ready"
    ;;
stop)
    for name in openbox xvfb; do
        [ -f "$state/$name.pid" ] && kill "$(cat "$state/$name.pid")" 2>/dev/null
    done
    rm -rf "$state" "/tmp/.X$number-lock" "/tmp/.X11-unix/X$number"
    ;;
esac
exit 0
