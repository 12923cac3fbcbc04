#!/usr/bin/env bash
# The program for a real meter: installs what is needed, builds, and starts the window with no
# simulator. Arguments are passed on to the program. The COM numbers map to the serial devices
# present (see "COM ports on Linux" in the README); set DMM_COM1..DMM_COM4 to choose a device.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DMM_BUILD_DIR:-$here/build}"

bash "$here/scripts/install-deps.sh"
DMM_BUILD_DIR="$build" bash "$here/scripts/build.sh"

app="$build/app/dmm-interface"
if [ ! -x "$app" ]; then
    echo "run-meter.sh: $app was not built" >&2
    exit 1
fi
exec "$app" "$@"
