#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the program needs.
# Idempotent: when everything is there it only checks and returns.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14
  qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-serialport-dev
  libhidapi-dev libudev-dev libxkbcommon-dev
  xvfb xauth xdotool x11-apps imagemagick poppler-utils socat librsvg2-bin
  fonts-dseg fonts-dejavu fonts-liberation
  locales
  # for the tests only: the spreadsheet that opens the CSV files, and the time zones of their
  # UTC offsets
  libreoffice-calc-nogui tzdata
  # the network outputs and links: an MQTT client library, and for the tests the broker and its
  # clients, the CA tools, the remote serial port servers and the SCPI clients
  libmosquitto-dev mosquitto mosquitto-clients openssl
  libgensio-dev ser2net python3-serial
  python3-pyvisa python3-pyvisa-py lxi-tools
  # the web page: Qt's HTTP server, and for the tests the browser and its driver
  qt6-httpserver-dev chromium chromium-driver python3-selenium
  # the alarms: desktop notifications over D-Bus, and for the tests a session bus with a
  # notification service, and the sound player
  dbus dbus-daemon python3-dbus python3-gi alsa-utils
  # the data files' streaming XML parser, and the profiler for the benchmarks
  libexpat1-dev linux-perf
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: installing packages needs root or sudo; run this script as root" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
