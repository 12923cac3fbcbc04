#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over protocol/, recording/, link/, publish/, scpi/
# and web/, four files at a time, against the compile commands of a configured build. Any finding
# fails the run.
#   bash scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
cd "$here"
[ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json" >&2; exit 1; }
git ls-files 'protocol/*.cpp' 'recording/*.cpp' 'link/*.cpp' 'link/hid/*.cpp' \
  'publish/*.cpp' 'publish/mqtt/*.cpp' 'scpi/*.cpp' 'web/*.cpp' |
  xargs -P "$(nproc)" -n 4 clang-tidy-14 -p "$build" --quiet
echo "tidy: no findings"
