#!/usr/bin/env bash
# Starts the program as a user would, on its own X server (Xvfb on a free display), and checks
# what the window manager gets: the window carries the program's icon in _NET_WM_ICON.
# Usage: x11_window.sh PROGRAM
set -euo pipefail
program="$1"
work="$(mktemp -d)"
chmod 700 "$work"
xpid="" apid=""
cleanup() {
  [ -n "$apid" ] && kill "$apid" 2>/dev/null || true
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xpid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb
export XDG_STATE_HOME="$work" # its journal goes with the test
unset WAYLAND_DISPLAY

"$program" 2>"$work/program.log" &
apid=$!
window=""
for _ in $(seq 100); do
  window="$(xdotool search --name 'Interface Program' 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "x11_window: no window appeared" >&2
  cat "$work/program.log" >&2
  exit 1
fi
icons="$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' || true)"
echo "$icons"
for size in 16 32 48; do
  if ! grep -q "Icon ($size x $size)" <<<"$icons"; then
    echo "x11_window: _NET_WM_ICON has no $size x $size picture" >&2
    exit 1
  fi
done
echo "x11_window: the window carries the program's icon"
