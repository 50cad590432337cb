#!/usr/bin/env bash
# Starts or stops the virtual display the tests draw on: an X server with a small
# window manager, as every desktop has one (without it, windows get no close
# message and no resizable frame).
set -u
action=$1 display=$2
number=${display#:}
state="/tmp/plugin-manager-display-$number"

stop_pid() {
    local pid
    pid=$(cat "$1" 2>/dev/null) || return 0
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
}

case "$action" in
start)
    "$0" stop "$display"
    for _ in $(seq 50); do
        xdpyinfo -display "$display" >/dev/null 2>&1 || break
        sleep 0.1
    done
    if xdpyinfo -display "$display" >/dev/null 2>&1; then
        echo "display $display is taken by another X server"
        exit 1
    fi
    mkdir -p "$state"
    Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
    xvfb=$!
    echo "$xvfb" >"$state/xvfb.pid"
    for _ in $(seq 100); do
        kill -0 "$xvfb" 2>/dev/null && xdpyinfo -display "$display" >/dev/null 2>&1 && break
        sleep 0.1
    done
    if ! kill -0 "$xvfb" 2>/dev/null || ! xdpyinfo -display "$display" >/dev/null 2>&1; then
        echo "Xvfb did not start"
        cat "$state/xvfb.log"
        exit 1
    fi
    for attempt in 1 2 3; do
        DISPLAY=$display openbox >"$state/openbox.log" 2>&1 &
        echo $! >"$state/openbox.pid"
        for _ in $(seq 100); do
            DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
            sleep 0.1
        done
        DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
        echo "the window manager did not start (attempt $attempt):"
        cat "$state/openbox.log"
        stop_pid "$state/openbox.pid"
        [ "$attempt" = 3 ] && exit 1
    done
    echo "display $display ready"
    ;;
stop)
    stop_pid "$state/openbox.pid"
    stop_pid "$state/xvfb.pid"
    rm -rf "$state"
    ;;
esac
exit 0
