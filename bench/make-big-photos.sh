#!/usr/bin/env bash
# Makes 48-megapixel (8000x6000) photos for `vexo-bench open` in OUTPUT_DIR,
# one folder per kind so that each is timed as a list of its own: a JPEG,
# a HEIC with the small preview picture phones store beside the photo, and
# a HEIC without one. Nothing is committed.
set -euo pipefail
out=${1:?usage: make-big-photos.sh OUTPUT_DIR}
source "$(dirname "$0")/../scripts/media-recipes.sh"
mkdir -p "$out/jpeg" "$out/heic_thumb" "$out/heic_plain"
source_png="$out/source.png"
ff -f lavfi -i "testsrc2=size=8000x6000:rate=1" -frames:v 1 "$source_png"
photos "$out/jpeg/big.jpg" 8000x6000
heif-enc -q 80 -t 320 -o "$out/heic_thumb/big.heic" "$source_png" > /dev/null
heif-enc -q 80 -o "$out/heic_plain/big.heic" "$source_png" > /dev/null
rm -f "$source_png"
