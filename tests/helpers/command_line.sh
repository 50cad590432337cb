# Shared steps of the command-line tests: the program run as a deployment script runs
# it, without a display, in a private mount namespace with an empty /opt (the
# machine-wide settings folder) holding the settings file of e2e.sh. Sourced at the top
# of a test script, which it starts again inside the namespace.
if [ -z "${IN_PRIVATE_NAMESPACE:-}" ]; then
    exec env -u DISPLAY IN_PRIVATE_NAMESPACE=1 unshare --mount --propagation private "$0" "$@"
fi
source "$(dirname "${BASH_SOURCE[0]}")/e2e.sh"
unset DISPLAY

mount -t tmpfs tmpfs /opt
mkdir -p "/opt/Tovin Drift"
write_settings
cp "$scratch/settings.txt" "/opt/Tovin Drift/PluginManagerSettings.txt"
chmod 755 "$scratch"

# Runs the program; its output lands in $out and $err, its exit status in $status.
run() {
    status=0
    "$@" >"$scratch/out" 2>"$scratch/err" || status=$?
    out=$(cat "$scratch/out") err=$(cat "$scratch/err")
}
exits() { [ "$status" = "$1" ] || { echo "  exit status $status, expected $1; out: $out; err: $err" >&2; return 1; }; }
says() { grep -q -- "$2" <<<"$1" || { echo "  \"$2\" not in: $1" >&2; return 1; }; }
