#!/usr/bin/env bash
# The full-road soak: FRAMES frames (default 1,000,000) sent by `dmm simulate` as fast as a
# pseudo-terminal carries them,
#   1. through the serial driver, frame assembly, decoder, judge and recorder into the readings
#      table, and
#   2. through `dmm log` into a data file, loaded back,
# each compared frame by frame with what the simulator sent. Built with AddressSanitizer and
# UndefinedBehaviorSanitizer; LeakSanitizer checks for leaks when each program ends.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
frames="${1:-1000000}"
build="${DMM_SOAK_BUILD_DIR:-$here/build-soak}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

bash scripts/install-deps.sh
# DMM_SOAK_SANITIZE= (empty) gives a plain build, for memory figures without the sanitizers' own.
sanitize="${DMM_SOAK_SANITIZE-address,undefined}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
  -DDMM_SANITIZE="$sanitize" -DDMM_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target dmm soak_road

export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=16"
export UBSAN_OPTIONS="print_stacktrace=1"
echo "== soak, $frames frames: pseudo-terminal -> driver -> decoder -> recorder -> table"
"$build/tests/soak/soak_road" --dmm "$build/tools/dmm/dmm" --frames "$frames" --workdir "$work"
echo "== soak, $frames frames: pseudo-terminal -> dmm log -> data file"
"$build/tests/soak/soak_road" --dmm "$build/tools/dmm/dmm" --frames "$frames" --workdir "$work" \
  --mode log
echo "== soak passed"
