#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
#   0. the gates: clang-format finds nothing to change, the build has no warning, clang-tidy's
#      checks (.clang-tidy) find nothing in protocol/, recording/ and link/;
#   1. the program, tools and tests with g++ (-Wall -Wextra -Wpedantic), all CTest tests, and
#      the Debian package, installed and started;
#   2. the Qt-free core with clang-14 under AddressSanitizer and UndefinedBehaviorSanitizer:
#      its tests, then each fuzz target for a bounded time (the protocol targets, and the two
#      data-file loaders, which bring their own build of the readings table on Qt Core);
#   3. the HID read thread's tests and the MQTT publisher's tests under ThreadSanitizer;
#   4. a 50,000-frame soak of the whole road under AddressSanitizer (scripts/soak.sh).
# Any failure stops the run with a non-zero exit.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
FUZZ_SECONDS="${DMM_FUZZ_SECONDS:-30}"

step() { printf '\n=== %s ===\n' "$*"; }

step "dependencies"
bash scripts/install-deps.sh

step "style (clang-format)"
git ls-files '*.cpp' '*.h' | xargs clang-format-14 --dry-run --Werror

step "build (g++, warnings are errors)"
DMM_BUILD_DIR="$here/build" bash scripts/build.sh -DCMAKE_CXX_COMPILER=g++ -DDMM_WERROR=ON

step "clang-tidy (protocol, recording, link, publish, scpi)"
bash scripts/tidy.sh build

step "tests (g++)"
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600

step "package: build, install, start the installed program"
DMM_BUILD_DIR="$here/build" bash scripts/package-check.sh

step "build (clang-14, address and undefined sanitizers)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DDMM_CORE_ONLY=ON -DDMM_BENCH=OFF -DDMM_FUZZ=ON \
  -DDMM_SANITIZE=address,undefined -DDMM_WERROR=ON >/dev/null
cmake --build build-asan -j "$(nproc)"

step "tests (sanitizers)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 600

step "fuzzing (${FUZZ_SECONDS} s per target)"
shopt -s nullglob
fuzzers=(build-asan/fuzz/fuzz_*)
for f in "${fuzzers[@]}"; do
  [ -x "$f" ] || continue
  name="$(basename "$f")"
  corpus="build-asan/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "-- $name"
  "$f" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 "$corpus" "${seeds[@]}" 2>&1 | tail -n 6
done

step "build (clang-14, thread sanitizer)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DDMM_CORE_ONLY=ON -DDMM_BENCH=OFF \
  -DDMM_SANITIZE=thread -DDMM_WERROR=ON >/dev/null
cmake --build build-tsan -j "$(nproc)" --target hid_tests mqtt_tests
step "tests (thread sanitizer)"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -R '^(Hid|Mqtt)' \
  --timeout 600

step "soak (50,000 frames, address and undefined sanitizers)"
bash scripts/soak.sh 50000

step "all tests passed"
