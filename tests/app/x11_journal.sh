#!/usr/bin/env bash
# The program as a user runs it, on its own X server, reading a simulated meter on a
# pseudo-terminal: its recording ends without a save by kill -9, SIGTERM, the X server going
# away or the close box; the next start asks, Yes brings the rows back and recording goes on
# numbered after them.
# Usage: x11_journal.sh PROGRAM DMM (DMM_JOURNAL_ENDS: the ways to end, default all four)
set -euo pipefail
program="$1" dmm="$2"
work="$(mktemp -d)"
chmod 700 "$work"
xpid="" spid="" pids=()
cleanup() {
  for p in "${pids[@]}" "$spid" "$xpid"; do [ -n "$p" ] && kill -9 "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "x11_journal: $*" >&2; cat "$work"/app*.log >&2 2>/dev/null || true; exit 1; }
until_true() { for _ in $(seq "$1"); do eval "$2" && return 0; sleep 0.1; done; return 1; }

start_x() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>>"$work/xvfb.log" &
  xpid=$!
  until_true 50 '[ -s "$work/display" ]' || fail "no X server"
  export DISPLAY=":$(cat "$work/display")"
}
# Starts the program; its window's id goes to $win.
start_app() {
  "$program" 2>>"$work/app$1.log" &
  apid=$!
  pids+=("$apid")
}
# The shown window of the program $apid titled $1 (xdotool's --pid alone does not tell apart).
window_of() {
  for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
    xprop -id "$w" _NET_WM_PID 2>/dev/null | grep -q " = $apid\$" && echo "$w" && return 0
  done
  return 1
}
main_window() { until_true 150 'win="$(window_of "Interface Program")"' || fail "no window appeared"; }
connect() { sleep 0.5; xdotool windowraise "$win" mousemove --window "$win" 140 40 click 1; }
journal_of() { grep -l "" "$XDG_STATE_HOME"/dmm-interface/*.journal 2>/dev/null | head -n 1; }
rows_in() { grep -c '^R' "$1" 2>/dev/null || true; }
wait_rows() { until_true 300 "[ \"\$(rows_in \"\$(journal_of)\")\" -ge $1 ]" || fail "fewer than $1 rows recorded"; }
answer() { # the restore question, answered with the key $1
  until_true 150 'box="$(window_of "^Information$")"' || fail "no question at the start"
  xdotool windowfocus --sync "$box" key "$1"
}
close_box() { python3 - "$1" <<'EOF'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class Msg(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", Msg), ("pad", ctypes.c_long * 24)]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(Event)]
d = x.XOpenDisplay(None)
e = Event()
e.xclient.type, e.xclient.window, e.xclient.format = 33, int(sys.argv[1]), 32  # ClientMessage
e.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(d, int(sys.argv[1]), 0, 0, ctypes.byref(e))
x.XFlush(d)
EOF
}

"$dmm" simulate --pty --rate 10 --script wander --log "$work/sent.json" >"$work/sim.out" &
spid=$!
until_true 50 '[ -s "$work/sim.out" ]' || fail "no simulator"
export DMM_COM1="$(head -n 1 "$work/sim.out")" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

for how in ${DMM_JOURNAL_ENDS:-kill term xserver closebox}; do
  export XDG_STATE_HOME="$work/state-$how"
  start_x
  start_app "$how"; main_window; connect; wait_rows 8
  case "$how" in
    kill) kill -9 "$apid" ;;
    term) kill -TERM "$apid" ;;
    xserver) kill -9 "$xpid" ;;
    closebox) close_box "$win" ;;
  esac
  until_true 100 '! kill -0 "$apid" 2>/dev/null' || fail "$how: the program did not end"
  wait "$apid" 2>/dev/null || true
  journal="$(journal_of)"
  "$dmm" table show "$journal" >"$work/before.json"
  n="$(wc -l <"$work/before.json")"
  [ "$n" -ge 8 ] || fail "$how: the journal holds $n rows"
  kill -0 "$xpid" 2>/dev/null || start_x

  start_app "$how-again"; answer y; main_window; connect; wait_rows $((n + 3))
  kill -9 "$apid"; wait "$apid" 2>/dev/null || true
  "$dmm" table show "$(journal_of)" >"$work/after.json"
  head -n "$n" "$work/after.json" | cmp -s - "$work/before.json" || fail "$how: rows changed"
  python3 - "$work/before.json" "$work/after.json" "$work/sent.json" "$how" <<'EOF' || fail "$how"
import json, sys
before = [json.loads(l) for l in open(sys.argv[1])]
after = [json.loads(l) for l in open(sys.argv[2])]
sent = [json.loads(l)["value"] for l in open(sys.argv[3])]
nos = [r["no"] for r in after]
assert nos == sorted(set(nos)), "numbering does not go on after the restored rows"
it = iter(sent)
assert all(any(r["value"] == s for s in it) for r in before), "a row the meter never sent"
print("x11_journal: %s: %d rows restored, numbering on from %d" %
      (sys.argv[4], len(before), after[len(before)]["no"]))
EOF
  kill -9 "$xpid"; wait "$xpid" 2>/dev/null || true
done

# A file size limit the journal runs into: the window records on, unprotected, and says so.
export XDG_STATE_HOME="$work/state-fsize"
start_x
program_unlimited="$program"
start_app() { bash -c 'ulimit -f 2; exec "$0"' "$program_unlimited" 2>>"$work/app$1.log" & apid=$!; pids+=("$apid"); }
start_app fsize; main_window; connect; sleep 8
kill -0 "$apid" 2>/dev/null || fail "fsize: the program ended at the file size limit"
grep -q "not protected" "$work/appfsize.log" || fail "fsize: no warning"
echo "x11_journal: fsize: recording went on past the limit"
