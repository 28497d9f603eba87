#!/usr/bin/env bash
# Makes the media of `vexo-bench open`: PHOTOS JPEG photos and VIDEOS short
# clips with sound in OUTPUT_DIR (default 500 and 20). Nothing is committed.
set -euo pipefail
out=${1:?usage: make-open-media.sh OUTPUT_DIR [PHOTOS] [VIDEOS]}
photos=${2:-500}
videos=${3:-20}
source "$(dirname "$0")/../scripts/media-recipes.sh"
mkdir -p "$out"
if [ "$photos" -gt 0 ]; then
  photos "$out/photo_%04d.jpg" 1600x1200 testsrc2 "$photos"
fi
for ((i = 1; i <= videos; i++)); do
  clip_with_tone "$out/zclip_$(printf %02d "$i").avi" "$(pattern_src 640x480 25 2)" \
     "$(tone_src $((200 + 40 * i)) 44100 2)" -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k
done
