#!/usr/bin/env bash
# Started without root, through PATH, from a folder holding another file of the same
# name, the program asks pkexec to start its own file: the one the kernel runs, not the
# name it was started by resolved in the working folder. pkexec is a stand-in that
# records what it was asked, put where the program looks for it, in a private mount
# namespace. A program file that a user other than root could change is not relaunched.
source "$(dirname "$0")/../helpers/e2e.sh"

if [ "$(id -u)" != 0 ] || ! id nobody >/dev/null 2>&1; then
    echo "needs root and the user nobody"
    exit 77
fi
name=$(basename "$app")
program=$(realpath "$app")

chmod 755 "$scratch"
mkdir -m 755 "$scratch/elsewhere" "$scratch/home"
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

status=0
start_as_nobody "$(dirname "$program")" >"$scratch/out.log" 2>&1 || status=$?
[ -s "$scratch/asked" ] || { echo "  the program said:"; cat "$scratch/out.log"; }
expected=$(printf '%s\n' /usr/bin/env "DISPLAY=$DISPLAY" "XAUTHORITY=$scratch/home/.Xauthority" "$program")
check "pkexec is asked to run this program's file through /usr/bin/env, with the user's ~/.Xauthority" \
    diff <(echo "$expected") "$scratch/asked"
check "the relaunched process's status is the program's" test "$status" = 0

# The same file, reached through a folder that anyone may write.
: >"$scratch/asked"
mkdir -m 777 "$scratch/open"
ln "$program" "$scratch/open/$name"
status=0
start_as_nobody "$scratch/open" >"$scratch/out.log" 2>&1 || status=$?
check "a program file that others could change is not relaunched" test ! -s "$scratch/asked"
check "and the program says why" \
    grep -q "a user other than root could change it" "$scratch/out.log"
check "with status 1" test "$status" = 1
