#!/usr/bin/env bash
# Builds the Debian package from build/ (or $DMM_BUILD_DIR), installs it on this machine and
# starts the installed program offscreen to prove it runs.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${DMM_BUILD_DIR:-$here/build}" && pwd)"
if [ "$(id -u)" -eq 0 ]; then SUDO=(); elif command -v sudo >/dev/null 2>&1; then SUDO=(sudo); else
  echo "package-check: installing the package needs root or sudo" >&2
  exit 1
fi

rm -f "$build"/dmm-interface_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/dmm-interface_*.deb)"
echo "package: $(basename "$deb") ($(du -h "$deb" | cut -f1))"
dpkg-deb --contents "$deb" | awk '{print "  " $6}' | grep -v '/$'
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --reinstall -qq "$deb" >/dev/null

test -x /usr/bin/dmm-interface
test -f /usr/share/applications/dmm-interface.desktop
/usr/bin/dmm --help >/dev/null
# The program has no command line to end it: it must still be running when timeout stops it.
rc=0
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$(mktemp -d)" timeout 5 /usr/bin/dmm-interface || rc=$?
if [ "$rc" -ne 124 ]; then
  echo "package-check: the installed dmm-interface ended by itself (exit $rc)" >&2
  exit 1
fi
echo "package-check: the installed program started and ran"
