#!/usr/bin/env bash
# Renders the program's icon, packaging/plc-config.svg, to the PNG sizes the package and the
# window use (packaging/icons/SIZE/plc-config.png). Run it after changing the SVG and commit the
# PNGs with it.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v rsvg-convert >/dev/null; then
    echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
    exit 1
fi
for size in 48 256; do
    mkdir -p "packaging/icons/$size"
    rsvg-convert -w "$size" -h "$size" packaging/plc-config.svg -o "packaging/icons/$size/plc-config.png"
done
