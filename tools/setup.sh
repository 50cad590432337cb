#!/usr/bin/env bash
# One command from a fresh Debian 12 machine: installs what the installer needs,
# builds it, and then either opens the installer window (run) or runs the whole
# test suite (test): the tests, then the sanitizer build of them and the fuzzers.
# Safe to run again: installed and built parts are reused.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
action=${1:-}

case "$action" in
    run|test) ;;
    *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build"

if [ "$action" = run ]; then
    exec "$build/PluginManager_artefacts/Release/td_installer"
fi

ctest --test-dir "$build" --output-on-failure -j 2

# The same tests again, built with clang's address and undefined-behaviour
# sanitizers, and the fuzz targets run for a bounded time each.
sanitized="$root/build-sanitize"
cmake -S "$root" -B "$sanitized" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPLUGIN_MANAGER_SANITIZE=ON -DTEST_DISPLAY=:73 >/dev/null
cmake --build "$sanitized"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$sanitized" --output-on-failure -j 2
