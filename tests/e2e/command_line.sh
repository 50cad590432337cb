#!/usr/bin/env bash
# The command line as a deployment script uses it: no display, no window, exit codes.
# Everything runs in one private mount namespace with an empty /opt (the machine-wide
# settings folder), so every run of the program shares one settings file and one lock.
source "$(dirname "$0")/../helpers/command_line.sh"
vst3_module="$plugins/VST3/Glass Tundra Lights.vst3/Contents/x86_64-win/Glass Tundra Lights.vst3"
clap_module="$plugins/CLAP/Glass Tundra Lights.clap"
aax_bundle="$plugins/AAX/Glass Tundra Lights.aaxplugin"
log="$scratch/actions.log"

# Installing and uninstalling two formats
run "$app" --install VST3,clap --log "$log"
check "install of two formats exits 0" exits 0
check "the VST3 bundle is on disk" test -f "$vst3_module"
check "the CLAP module is on disk" test -f "$clap_module"
check "AAX was not named and stays away" test ! -e "$aax_bundle"
check "one line per format" says "$out" "^VST3 install ok: $plugins/VST3/Glass Tundra Lights.vst3$"
check "a final line" says "$out" "^done: 2 of 2 formats installed$"

run "$app" --status
check "status exits 0" exits 0
check "status shows VST3 installed" says "$out" "^VST3  INSTALLED  *$plugins/VST3/Glass Tundra Lights.vst3$"
check "status shows AAX not installed" says "$out" "^AAX   NOT INSTALLED  *$aax_bundle$"

run "$app" --status --json
check "status as JSON exits 0" exits 0
check "the JSON names each format's state" python3 - "$out" "$plugins" <<'PY'
import json, sys
formats = json.loads(sys.argv[1])
plugins = sys.argv[2]
assert [f["format"] for f in formats] == ["VST3", "CLAP", "AAX"], formats
assert [f["installed"] for f in formats] == [True, True, False], formats
assert [f["status"] for f in formats] == ["INSTALLED", "INSTALLED", "NOT INSTALLED"], formats
assert all(f["version"] == "" for f in formats), formats
assert formats[1]["path"] == plugins + "/CLAP/Glass Tundra Lights.clap", formats
PY

run "$app" --uninstall vst3,CLAP,vst3 --log "$log"
check "uninstall exits 0" exits 0
check "the VST3 bundle is gone" test ! -e "$plugins/VST3/Glass Tundra Lights.vst3"
check "the CLAP module is gone" test ! -e "$clap_module"
check "the format folders stay" test -d "$plugins/VST3" -a -d "$plugins/CLAP"

check "the log has one line per action, appended" test "$(wc -l <"$log")" = 4
check "each log line: time, action, format, target, outcome" \
    grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+(Z|[+-][0-9:]+) uninstall CLAP $clap_module ok$" "$log"
check "the log is 0644" test "$(stat -c %a "$log")" = 644

# A folder that cannot be written
mkdir -p "$plugins/AAX"
mount --bind "$plugins/AAX" "$plugins/AAX"
mount -o remount,bind,ro "$plugins/AAX"
run "$app" --install aax,clap
umount "$plugins/AAX"
check "a read-only folder gives exit 1" exits 1
check "the failed line names the format" says "$out" "^AAX install failed: .*$plugins/AAX"
check "the other format still succeeds" says "$out" "^CLAP install ok"
check "the final line says how many failed" says "$out" "^failed: 1 of 2 formats"

# Not root
run setpriv --reuid=nobody --regid=nogroup --clear-groups "$app" --install all
check "install as nobody gives 3" exits 3
check "and says root is needed" says "$err" "needs administrator (root) rights"
check "and installs nothing" test ! -e "$aax_bundle"
run setpriv --reuid=nobody --regid=nogroup --clear-groups "$app" --status
check "status as nobody works" exits 0
check "and reads the settings file" says "$out" "^CLAP  INSTALLED  *$clap_module$"

# A log that cannot be written changes nothing else
run "$app" --status --log "$scratch/no/such/folder/x.log"
check "an unwritable log keeps the exit status" exits 0
check "and is reported on standard error" says "$err" "cannot write the log"

# Two passes at once: the second waits for the first or fails plainly; neither
# corrupts the other's result.
trees() { (cd "$plugins" && find . -type f -exec md5sum {} + | sort); }
run "$app" --install all
single=$(trees)
"$app" --install all >"$scratch/first" 2>&1 & first=$!
"$app" --install all >"$scratch/second" 2>&1 & second=$!
first_status=0 second_status=0
wait "$first" || first_status=$?
wait "$second" || second_status=$?
echo "  two passes at once ended with $first_status and $second_status"
check "each of two passes succeeds or reports the other" \
    test "$first_status$second_status" = 00 -o "$first_status$second_status" = 04 -o "$first_status$second_status" = 40
run "$app" --status
check "after two passes every format is whole" says "$out" "^AAX   v1.0.12.0 INSTALLED"
check "no staging leftovers" test -z "$(find "$plugins" -name '.*' -print -quit)"
check "the trees are those of a single pass" test "$(trees)" = "$single"

flock --no-fork "/opt/Tovin Drift/.PluginManagerPass.lock" sleep 8 & holder=$!
sleep 0.5
run "$app" --uninstall all
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null || true
check "a pass that cannot get the lock exits 4" exits 4
check "and says another pass is running" says "$err" "another install or uninstall is running"
check "and leaves the items alone" test -f "$clap_module" -a -d "$aax_bundle"

# No display
for display in unset :9999 nonsense; do
    if [ "$display" = unset ]; then run "$app"; else run env DISPLAY="$display" "$app"; fi
    check "no display ($display): exit 2, never a signal" exits 2
    check "no display ($display): one clear line" says "$err" "no usable display.*--help"
    check "no display ($display): nothing else on standard error" test "$(wc -l <"$scratch/err")" = 1
done

# A FIFO and a link to a device named like the items are never read
aax_module="$aax_bundle/Contents/x64/Glass Tundra Lights.aaxplugin"
rm -f "$clap_module" "$aax_module"
mkfifo "$clap_module"
ln -s /dev/zero "$aax_module"
run timeout 5 "$app" --status
check "status returns at once over a FIFO and a link to /dev/zero" exits 0
check "the FIFO reads installed, without a version" says "$out" "^CLAP  INSTALLED  "
check "the link reads installed, without a version" says "$out" "^AAX   INSTALLED  "

# Every failure names its cause, with the path concerned: on the per-format line, in the
# log and in the status JSON (a "reason" only where something is wrong).
settings="/opt/Tovin Drift/PluginManagerSettings.txt"
r="$scratch/reasons" reasons_log="$scratch/reasons.log"
mkdir -p "$r/read-only" "$r/small" "$r/root-only" "$r/home" "$r/frozen"
: >"$r/file"
mount --bind "$r/read-only" "$r/read-only"
mount -o remount,bind,ro "$r/read-only"
mount -t tmpfs -o size=1m tmpfs "$r/small"
set_folders() { echo "<Plugin_Manager_Settings $*/>" >"$settings"; }
json_reasons() {
    python3 -c 'import json, sys; print("\n".join(f["format"] + ": " + f.get("reason", "-") for f in json.load(sys.stdin)))' <<<"$out"
}

set_folders "VST3_Path=\"$r/read-only\" CLAP_Path=\"$r/small\" AAX_Path=\"$r/file/AAX\""
run "$app" --install all --log "$reasons_log"
check "failures exit 1" exits 1
check "a read-only folder is named" says "$out" "^VST3 install failed: $r/read-only is read-only$"
check "a full disk is named" says "$out" "^CLAP install failed: no space left on the disk that holds $r/small$"
check "a file in the folder's place is named" says "$out" "^AAX install failed: $r/file is a file, not a folder$"
check "the log carries the reasons" grep -q " install CLAP $r/small/Glass Tundra Lights.clap failed: no space left" "$reasons_log"
run "$app" --status --json
check "status JSON: a reason only where the folder cannot be looked into" test "$(json_reasons)" = \
"VST3: -
CLAP: -
AAX: $r/file is a file, not a folder"
umount "$r/read-only" "$r/small"

# A user's link to root's folder, a folder nobody may change, a format without a folder.
chown nobody "$r/home"
ln -s "$r/root-only" "$r/home/link"
chown -h nobody "$r/home/link"
chattr +i "$r/frozen"
set_folders "VST3_Path=\"$r/home/link/VST3\" CLAP_Path=\"$r/frozen\""
run "$app" --install all --log "$reasons_log"
chattr -i "$r/frozen"
check "a user's link is named with its owner" \
    says "$out" "^VST3 install failed: the path holds a link that a user other than root controls: $r/home/link (owned by nobody), which leads into a folder owned by root: $r/root-only$"
check "root's folder behind it stays empty" test -z "$(ls -A "$r/root-only")"
check "permission denied is named" says "$out" "^CLAP install failed: permission denied: $r/frozen$"
check "a format without a folder says so" says "$out" "^AAX install failed: the settings file names no folder for this format$"
run "$app" --status --json
check "status JSON names the link and the missing folder" test "$(json_reasons)" = \
"VST3: the path holds a link that a user other than root controls: $r/home/link (owned by nobody), which leads into a folder owned by root: $r/root-only
CLAP: -
AAX: the settings file names no folder for this format"
run "$app" --status
check "plain status gives the reason after the path" says "$out" "^VST3  NOT INSTALLED .*/VST3/Glass Tundra Lights.vst3 (the path holds a link"

# A damaged archive: a copy of the program with one byte of the VST3 module's data changed.
python3 - "$app" "$r/damaged" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
best, at = 0, 0
pos = data.find(b"PK\x03\x04")
while pos >= 0:
    size, name_len, extra_len = struct.unpack_from("<I", data, pos + 18)[0], *struct.unpack_from("<HH", data, pos + 26)
    if data[pos + 30:pos + 30 + name_len].startswith(b"Glass Tundra Lights.vst3") and size > best:
        best, at = size, pos + 30 + name_len + extra_len
    pos = data.find(b"PK\x03\x04", pos + 4)
assert best > 1000000, best
data[at + best // 2] ^= 0xFF
open(sys.argv[2], "wb").write(data)
PY
chmod 755 "$r/damaged"
set_folders "VST3_Path=\"$plugins/VST3\""
run "$r/damaged" --install vst3 --force --log "$reasons_log"
check "a damaged archive is named" says "$out" "^VST3 install failed: the archive is damaged: Glass Tundra Lights.vst3.Contents"
check "and the earlier install stays" test -f "$vst3_module"
check "the log names it too" grep -q " install VST3 .* failed: the archive is damaged" "$reasons_log"

# The lock held by another pass, in the log as well.
flock --no-fork "/opt/Tovin Drift/.PluginManagerPass.lock" sleep 8 & holder=$!
sleep 0.5
run "$app" --uninstall vst3 --log "$reasons_log"
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null || true
check "a held lock is named" says "$err" "(it holds /opt/Tovin Drift/.PluginManagerPass.lock); nothing was done"
check "and logged" grep -q " uninstall VST3 .* failed: another install or uninstall is running" "$reasons_log"

# Installing what is intact writes nothing; --force replaces it; a damaged item is told
# apart from an intact one and repaired.
set_folders "VST3_Path=\"$plugins/VST3\" CLAP_Path=\"$plugins/CLAP\" AAX_Path=\"$plugins/AAX\""
run "$app" --install all --force
check "a forced install over a FIFO and a link exits 0" exits 0
stamps() { find "$plugins" -printf '%i %T@ %p\n' | sort -k3; }
before=$(stamps)
run "$app" --install all --log "$log"
check "installing again exits 0" exits 0
check "and says unchanged" test "$(grep -c "install unchanged: $plugins/" <<<"$out")" = 3
check "every inode and modification time stays" test "$(stamps)" = "$before"
check "the log says unchanged" grep -q " install CLAP $clap_module unchanged$" "$log"
run "$app" --install vst3 --force
check "--force replaces the files" test "$(stamps | grep -c ' /.*Contents/x86_64-win')" -gt 0 -a "$(stamps)" != "$before"

run "$app" --verify all
check "verify of intact items exits 0" exits 0
check "and says intact" says "$out" "^verified: 3 of 3 formats intact$"
printf 'X' | dd of="$clap_module" bs=1 seek=4096 conv=notrunc 2>/dev/null
run "$app" --verify clap,aax
check "verify of a damaged item exits 1" exits 1
check "and names what differs" says "$out" "^CLAP modified: $clap_module (Glass Tundra Lights.clap: changed)$"
run "$app" --status --json --verify
check "status JSON with --verify says intact" python3 -c '
import json, sys
assert [f["intact"] for f in json.loads(sys.argv[1])] == [True, False, True], sys.argv[1]' "$out"
run "$app" --install all --json
check "the damaged item is repaired, the rest unchanged" python3 -c '
import json, sys
formats = json.loads(sys.argv[1])
assert [(f["outcome"], f["changed"]) for f in formats] == [("unchanged", False), ("repaired", True), ("unchanged", False)], formats' "$out"
run "$app" --verify all
check "and verifies intact again" exits 0
