#!/usr/bin/env bash
# Rasterises the program's icon (packaging/dmm-interface.svg, the desktop entry's icon) into the
# PNG sizes that the window and the application carry (app/icons, in the Qt resource
# app/icons.qrc). The PNGs are committed, so building needs no SVG renderer; run this after
# changing the SVG. Needs rsvg-convert (Debian package librsvg2-bin, in install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
    --output "app/icons/dmm-interface-$size.png" packaging/dmm-interface.svg
done
