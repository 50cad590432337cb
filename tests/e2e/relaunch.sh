#!/usr/bin/env bash
# Started without root, the program first asks whether to install for everyone or just
# for this user. For everyone, started through PATH from a folder holding another file
# of the same name, it asks pkexec to start its own file: the one the kernel runs, not the
# name it was started by resolved in the working folder. pkexec is a stand-in that
# records what it was asked, put where the program looks for it, in a private mount
# namespace. A program file that a user other than root could change is not relaunched.
# Just for this user, it installs into the user's own folders and never asks pkexec.
source "$(dirname "$0")/../helpers/e2e.sh"

if [ "$(id -u)" != 0 ] || ! id nobody >/dev/null 2>&1; then
    echo "needs root and the user nobody"
    exit 77
fi
name=$(basename "$app")
program=$(realpath "$app")

chmod 755 "$scratch"
mkdir -m 755 "$scratch/elsewhere" "$scratch/home"
chown nobody "$scratch/home"
printf '#!/bin/sh\n' >"$scratch/elsewhere/$name"
chmod 755 "$scratch/elsewhere/$name"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/asked"\n' "$scratch" >"$scratch/pkexec"
chmod 755 "$scratch/pkexec"
install -m 666 /dev/null "$scratch/asked"

# Runs the program in a folder as nobody, by its bare name through PATH, from the
# folder that holds the other file of that name.
start_as_nobody() {
    unshare --mount --propagation private bash -c '
        scratch=$1 folder=$2 name=$3
        mount -t tmpfs tmpfs /usr/local/bin
        cp "$scratch/pkexec" /usr/local/bin/pkexec
        for existing in /usr/bin/pkexec /bin/pkexec; do
            [ -e "$existing" ] && mount --bind "$scratch/pkexec" "$existing"
        done
        cd "$scratch/elsewhere"
        exec runuser -u nobody -- /usr/bin/env -u XAUTHORITY HOME="$scratch/home" \
            PATH="$folder:/usr/bin:/bin" DISPLAY="$DISPLAY" "$name"' _ "$scratch" "$1" "$name"
}


# Starts the program as nobody in the background and makes a choice; the status lands in $status.
start_and_choose() {
    start_as_nobody "$1" >"$scratch/out.log" 2>&1 & app_pid=$!
    choose "$2"
    status=0
    timeout 30 tail --pid="$app_pid" -f /dev/null || fail "the program did not end: $(cat "$scratch/out.log")"
    wait "$app_pid" || status=$?
    app_pid=
}

start_and_choose "$(dirname "$program")" "$everyone"
[ -s "$scratch/asked" ] || { echo "  the program said:"; cat "$scratch/out.log"; }
expected=$(printf '%s\n' /usr/bin/env "DISPLAY=$DISPLAY" "XAUTHORITY=$scratch/home/.Xauthority" "$program")
check "pkexec is asked to run this program's file through /usr/bin/env, with the user's ~/.Xauthority" \
    diff <(echo "$expected") "$scratch/asked"
check "the relaunched process's status is the program's" test "$status" = 0

# The same file, reached through a folder that anyone may write.
: >"$scratch/asked"
mkdir -m 777 "$scratch/open"
ln "$program" "$scratch/open/$name"
start_and_choose "$scratch/open" "$everyone"
check "a program file that others could change is not relaunched" test ! -s "$scratch/asked"
check "and the program says why" \
    grep -q "a user other than root could change it" "$scratch/out.log"
check "with status 1" test "$status" = 1

# Just for this user: the main screen works on the user's own folders, without pkexec.
: >"$scratch/asked"
start_as_nobody "$(dirname "$program")" >"$scratch/app.log" 2>&1 & app_pid=$!
choose "$just_me"
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^td_installer$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && [ "$(window_size)" = 600x600 ] && break
    sleep 0.1
done
check "the main screen opens" test "$(window_size)" = 600x600
sleep 0.5
click_at 150 210   # VST3 row
click_at 546 471   # INSTALL
sleep 1
bundle="$scratch/home/.vst3/Glass Tundra Lights.vst3"
check "the VST3 bundle lands in the user's own folder" test -f "$bundle/Contents/x86_64-win/Glass Tundra Lights.vst3"
check "owned by the user" test "$(stat -c %U "$bundle")" = nobody
check "the user's settings file is made" test -f "$scratch/home/.config/Tovin Drift/PluginManagerSettings.txt"
check "pkexec was never asked" test ! -s "$scratch/asked"
close_window
check "and the program ends with status 0" test "$exit_status" = 0
