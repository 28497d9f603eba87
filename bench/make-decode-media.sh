#!/usr/bin/env bash
# Makes the clip of `vexo-bench decode`: 10 s of 1080p H.264 with sound, in
# OUTPUT_DIR/h264_1080p.mp4. Made once; nothing is committed.
set -euo pipefail
out=${1:?usage: make-decode-media.sh OUTPUT_DIR}
source "$(dirname "$0")/../scripts/media-recipes.sh"
[ -f "$out/h264_1080p.mp4" ] && exit 0
mkdir -p "$out"
clip_with_tone "$out/h264_1080p.part.mp4" "$(pattern_src 1920x1080 25 10)" "$(tone_src 440 48000 10)" \
   "${h264_real[@]}" -c:a aac -b:a 128k
mv "$out/h264_1080p.part.mp4" "$out/h264_1080p.mp4"
