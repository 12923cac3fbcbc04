#!/usr/bin/env bash
# Rows per second that dmm log sustains with --mqtt: dmm simulate --rate 0 on a pseudo-terminal
# into dmm log --limit N, once without and once with --mqtt to a mosquitto on loopback (the time
# with --mqtt includes delivering the last row). Usage: bench/mqtt_log_rate.sh [BUILD_DIR] [N]
set -euo pipefail
build="${1:-build}"
rows="${2:-20000}"
dmm="$build/tools/dmm/dmm"
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence true\npersistence_location %s/\nuser %s\n' \
  "$port" "$work" "$(id -un)" > "$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" 2>"$work/broker.log" & pids+=($!)
sleep 0.5
mosquitto_sub -p "$port" -h 127.0.0.1 -t 'bench/reading' -q 1 -c -i rate > "$work/sub.out" & pids+=($!)
sleep 0.5

run() { # label, extra dmm log arguments...
  local label="$1"; shift
  "$dmm" simulate --pty --rate 0 > "$work/$label.pty" & local sim=$!
  pids+=($sim)
  while [ ! -s "$work/$label.pty" ]; do sleep 0.05; done
  local start end
  start=$(date +%s.%N)
  "$dmm" log --port "$(head -1 "$work/$label.pty")" --limit "$rows" --out "$work/$label.xls" "$@" 2>"$work/$label.err"
  end=$(date +%s.%N)
  kill "$sim"; wait "$sim" 2>/dev/null || true
  python3 -c "print('$label: $rows rows in %.2f s, %.0f rows/s' % ($end-$start, $rows/($end-$start)))"
}
run plain
run mqtt --mqtt "mqtt://127.0.0.1:$port/bench"
sleep 1
echo "subscriber received $(wc -l < "$work/sub.out") rows"
tail -1 "$work/mqtt.err"
