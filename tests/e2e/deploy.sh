#!/usr/bin/env bash
# The Ansible role of deploy/ansible against three hosts, each a root of its own: a chroot
# over the machine's /usr and /etc (read-only) with its own /opt, plug-in folders and
# program, reached with Ansible's chroot connection. Everything lives on a tmpfs in a
# private mount namespace and goes with it.
if [ -z "${IN_PRIVATE_NAMESPACE:-}" ]; then
    exec env IN_PRIVATE_NAMESPACE=1 unshare --mount --propagation private "$0" "$@"
fi
set -euo pipefail

app=$1
here=$(cd "$(dirname "$0")" && pwd)
playbook="$here/../../deploy/ansible/playbook.yml"
fail() { echo "FAILED: $*" >&2; exit 1; }
check() { local what=$1; shift; "$@" || fail "$what"; echo "ok: $what"; }
command -v ansible-playbook >/dev/null || fail "ansible-playbook is not installed (tools/install-deps.sh installs it)"

machine_before=$(ls -lA /opt /srv)
work=$(mktemp -d /tmp/plugin-manager-deploy.XXXXXX)
trap 'cd /; umount -R "$work" 2>/dev/null; rmdir "$work"' EXIT
mount -t tmpfs tmpfs "$work"
hosts=(host1 host2 host3)

for host in "${hosts[@]}"; do
    root="$work/$host"
    mkdir -p "$root"/{usr,etc,dev,proc,tmp,root,run,srv/plugins,"opt/Tovin Drift"}
    for shared in usr etc; do
        mount --bind "/$shared" "$root/$shared"
        mount -o remount,bind,ro "$root/$shared"
    done
    for link in bin lib lib64 sbin; do
        [ -L "/$link" ] && ln -s "$(readlink "/$link")" "$root/$link"
    done
    mount --rbind /dev "$root/dev"
    mount -t proc proc "$root/proc"
    chmod 1777 "$root/tmp"
    cp "$app" "$root/srv/td_installer"
    echo "<Plugin_Manager_Settings VST3_Path=\"/srv/plugins/VST3\" CLAP_Path=\"/srv/plugins/CLAP\" AAX_Path=\"/srv/plugins/AAX\"/>" \
        >"$root/opt/Tovin Drift/PluginManagerSettings.txt"
done

{
    echo "[studio]"
    for host in "${hosts[@]}"; do echo "$host ansible_host=$work/$host"; done
    echo "[studio:vars]"
    echo "ansible_connection=community.general.chroot"
    echo "ansible_python_interpreter=/usr/bin/python3"
} >"$work/inventory"

# Ansible keeps its own files below the scratch folder, never in root's home.
export HOME="$work/home" ANSIBLE_LOCAL_TEMP="$work/ansible-tmp" ANSIBLE_REMOTE_TEMP=/tmp/.ansible
export ANSIBLE_NOCOLOR=1 ANSIBLE_HOST_KEY_CHECKING=False ANSIBLE_RETRY_FILES_ENABLED=False
mkdir -p "$HOME"

# Runs the playbook over every host; its output lands in $out, its exit status in $status.
play() {
    status=0
    out=$(timeout 180 ansible-playbook -i "$work/inventory" "$playbook" \
        -e plugin_manager_program=/srv/td_installer -e plugin_manager_formats=all "$@" 2>&1) || status=$?
}
# The recap's figure for one host: recap host changed
recap() { sed -n "s/^$1 *: .*$2=\([0-9]*\).*/\1/p" <<<"$out"; }
hosts_are() {
    local field=$1 expected=$2 host
    for host in "${hosts[@]}"; do
        [ "$(recap "$host" "$field")" = "${expected%% *}" ] || { echo "  $host: $field is $(recap "$host" "$field"); $out" >&2; return 1; }
        expected=${expected#* }
    done
}
module() { echo "$work/$1/srv/plugins/CLAP/Glass Tundra Lights.clap"; }

play
check "the first run succeeds on every host" test "$status" = 0
check "and changes every host" hosts_are changed "1 1 1"
check "each host has its own install" test -f "$(module host1)" -a -f "$(module host2)" -a -f "$(module host3)"
check "nothing lands on the machine itself" test "$(ls -lA /opt /srv)" = "$machine_before"

play
check "the second run succeeds" test "$status" = 0
check "and changes no host" hosts_are changed "0 0 0"

mount --bind "$work/host2/srv/plugins" "$work/host2/srv/plugins"
mount -o remount,bind,ro "$work/host2/srv/plugins"
play -e plugin_manager_force=true
umount "$work/host2/srv/plugins"
check "a host whose plug-in folder is read-only fails the run" test "$status" = 2
check "that host alone fails" hosts_are failed "0 1 0"
check "with the installer's reason" grep -q "td_installer exited with 1: VST3: /srv/plugins/VST3 is read-only" <<<"$out"
check "the others are reinstalled" hosts_are changed "1 0 1"

printf 'X' | dd of="$(module host3)" bs=1 seek=4096 conv=notrunc 2>/dev/null
play
check "a run over a damaged host succeeds" test "$status" = 0
check "and changes only that host" hosts_are changed "0 0 1"
check "which is intact again" chroot "$work/host3" /srv/td_installer --verify all

play -e plugin_manager_state=absent
check "uninstalling changes every host" hosts_are changed "1 1 1"
check "and removes the items" test ! -e "$(module host1)" -a ! -e "$(module host3)"
play -e plugin_manager_state=absent
check "uninstalling again changes none" hosts_are changed "0 0 0"
