#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG drawing; run after
# changing resources/icons/vexoplayer.svg and commit the pictures.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 48 128; do
  rsvg-convert --width "$size" --height "$size" vexoplayer.svg --output "vexoplayer-$size.png"
done
