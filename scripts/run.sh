#!/usr/bin/env bash
# The demo: a simulated meter on a pseudo-terminal as COM1, and the program reading it.
#   bash scripts/run.sh [dmm simulate options...]     e.g. --script tour, --fault drop:0.05
# Installs what is needed, builds, starts `dmm simulate --pty`, then starts the window with
# DMM_COM1 pointing at the simulator (press "COM Connect"). Without a window build or without a
# display it prints the decoded readings with `dmm decode` instead. Ctrl-C stops both.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DMM_BUILD_DIR:-$here/build}"

bash "$here/scripts/install-deps.sh"
DMM_BUILD_DIR="$build" bash "$here/scripts/build.sh"

dmm="$build/tools/dmm/dmm"
app="$build/app/dmm-interface"
[ -x "$dmm" ] || { echo "run.sh: $dmm was not built" >&2; exit 1; }

fifo="$(mktemp -u)"
mkfifo "$fifo"
"$dmm" simulate --pty "$@" >"$fifo" &
sim=$!
cleanup() {
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    rm -f "$fifo"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The simulator prints its terminal's path on its first line; keep the pipe open after that.
exec 3<"$fifo"
if ! IFS= read -r -t 10 pty <&3 || [ -z "$pty" ]; then
    echo "run.sh: the simulator did not start" >&2
    exit 1
fi
echo "run.sh: simulated meter on $pty (COM1)"
export DMM_COM1="$pty"

if [ -x "$app" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    echo "run.sh: starting the program; press \"COM Connect\" to see the readings"
    "$app"
else
    if [ -x "$app" ]; then
        echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset): printing the decoded" \
             "readings with dmm decode instead of starting the window (Ctrl-C stops)"
    else
        echo "run.sh: $app is not built yet: printing the decoded readings with dmm decode" \
             "(Ctrl-C stops)"
    fi
    stty -F "$pty" raw -echo 2>/dev/null || true
    "$dmm" decode --family q32 "$pty"
fi
