#!/usr/bin/env bash
# Builds the installer and prints the benchmark table: the install and uninstall
# passes against bsdtar, unzip, rm -rf and the zlib-and-write floor, start-up,
# painting and peak memory. Run as root after tools/setup.sh.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

for tool in bsdtar:libarchive-tools unzip:unzip; do
    command -v "${tool%%:*}" >/dev/null || {
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${tool#*:}" >/dev/null
    }
done

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target Benchmark

# The first display number that no X server has taken.
display=:72
while xdpyinfo -display "$display" >/dev/null 2>&1; do
    display=":$((${display#:} + 1))"
done
"$root/tests/helpers/display.sh" start "$display"
trap '"$root/tests/helpers/display.sh" stop "$display"' EXIT

on_disk="$build/bench-scratch"
mkdir -p "$on_disk"
DISPLAY=$display "$build/bench/Benchmark" "$build/generated" "$on_disk"
