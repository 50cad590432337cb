#!/usr/bin/env bash
# Per-user installs: an ordinary user (an unused uid with a scratch home of its own)
# installs into its own per-user folders without any rights, in a private mount
# namespace whose /opt holds a machine-wide settings file that must stay untouched.
source "$(dirname "$0")/../helpers/command_line.sh"

touch -a -d 2001-01-01 "/opt/Tovin Drift/PluginManagerSettings.txt"
machine_before=$(cd /opt && ls -lAR --time-style=full-iso; stat -c '%X %Y' "Tovin Drift/PluginManagerSettings.txt")

uid=42100
while getent passwd "$uid" >/dev/null; do uid=$((uid + 1)); done
home="$scratch/home"
mkdir -p "$home" && chown "$uid:$uid" "$home" && chmod 700 "$home"
cp "$app" "$scratch/td_installer" && chmod 755 "$scratch/td_installer"
user_settings="$home/.config/Tovin Drift/PluginManagerSettings.txt"
as_user() { setpriv --reuid="$uid" --regid="$uid" --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin "$@"; }

run as_user "$scratch/td_installer" --install all
check "without --user an ordinary user still needs root" exits 3

run as_user "$scratch/td_installer" --user --install all
check "a per-user install needs no rights" exits 0
check "VST3 goes to ~/.vst3" says "$out" "^VST3 install ok: $home/.vst3/Glass Tundra Lights.vst3$"
check "CLAP goes to ~/.clap" says "$out" "^CLAP install ok: $home/.clap/Glass Tundra Lights.clap$"
check "all means the formats that have a per-user folder" says "$out" "^done: 2 of 2 formats installed$"
check "the module is there" test -f "$home/.vst3/Glass Tundra Lights.vst3/Contents/x86_64-win/Glass Tundra Lights.vst3"
check "the user's settings file names the per-user folders" grep -q "VST3_Path=\"$home/.vst3\"" "$user_settings"
check "every file made is the user's" test -z "$(find "$home" ! -user "$uid")"
check "nothing of the user's outside the home" \
    test -z "$(find /tmp /var/tmp /dev/shm /run /opt "$scratch" -xdev -user "$uid" ! -path "$home" ! -path "$home/*" 2>/dev/null)"
check "no staging folder is left" test -z "$(find "$home/.vst3" "$home/.clap" -mindepth 1 -maxdepth 1 -name '.*')"

run as_user "$scratch/td_installer" --user --status --json
check "per-user status works" exits 0
check "status JSON gives the scope and why AAX has no folder" python3 -c '
import json, sys
formats = json.loads(sys.argv[1])
assert [f["scope"] for f in formats] == ["user"] * 3, formats
assert [f["installed"] for f in formats] == [True, True, False], formats
assert formats[2]["reason"].startswith("AAX has no per-user folder"), formats' "$out"

run as_user "$scratch/td_installer" --user --install aax
check "AAX per user fails" exits 1
check "with that reason" says "$out" "^AAX install failed: AAX has no per-user folder; install it for everyone"

# Started directly, not through the function, so that $! is the lock's holder itself.
setpriv --reuid="$uid" --regid="$uid" --clear-groups \
    flock --no-fork "$home/.config/Tovin Drift/.PluginManagerPass.lock" sleep 8 & holder=$!
sleep 0.5
run as_user "$scratch/td_installer" --user --uninstall all
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null || true
check "a second per-user pass waits and fails with the busy status" exits 4
check "and leaves the items alone" test -f "$home/.clap/Glass Tundra Lights.clap"

run as_user "$scratch/td_installer" --user --uninstall all
check "a per-user uninstall needs no rights" exits 0
check "and removes the items" test ! -e "$home/.clap/Glass Tundra Lights.clap" -a ! -e "$home/.vst3/Glass Tundra Lights.vst3"
check "the per-user folders stay" test -d "$home/.vst3" -a -d "$home/.clap"

machine_after=$(cd /opt && ls -lAR --time-style=full-iso; stat -c '%X %Y' "Tovin Drift/PluginManagerSettings.txt")
check "the machine-wide settings file was neither read nor written, and no lock was made" \
    test "$machine_after" = "$machine_before"
check "the machine's plug-in folders were never made" test ! -e "$plugins/VST3" -a ! -e "$plugins/CLAP"
