#!/usr/bin/env bash
# Makes the clips of `vexo-bench decode`: 10 s of 1080p H.264 with sound, in
# OUTPUT_DIR/h264_1080p.mp4, and 4 s of 1080p 10-bit HEVC, plain and HLG, in
# OUTPUT_DIR/hevc10_1080p.mp4 and hlg_1080p.mp4. Made once; nothing is
# committed.
set -euo pipefail
out=${1:?usage: make-decode-media.sh OUTPUT_DIR}
source "$(dirname "$0")/../scripts/media-recipes.sh"
mkdir -p "$out"
hevc10=(-vf format=yuv420p10le -c:v libx265 -preset ultrafast -x265-params log-level=error)
if [ ! -f "$out/hevc10_1080p.mp4" ]; then
  ff -f lavfi -i "$(pattern_src 1920x1080 25 4)" "${hevc10[@]}" "$out/hevc10_1080p.part.mp4"
  mv "$out/hevc10_1080p.part.mp4" "$out/hevc10_1080p.mp4"
fi
if [ ! -f "$out/hlg_1080p.mp4" ]; then
  ff -f lavfi -i "$(pattern_src 1920x1080 25 4)" "${hevc10[@]}" -color_primaries bt2020 \
     -colorspace bt2020nc -color_range tv -color_trc arib-std-b67 "$out/hlg_1080p.part.mp4"
  mv "$out/hlg_1080p.part.mp4" "$out/hlg_1080p.mp4"
fi
[ -f "$out/h264_1080p.mp4" ] && exit 0
clip_with_tone "$out/h264_1080p.part.mp4" "$(pattern_src 1920x1080 25 10)" "$(tone_src 440 48000 10)" \
   "${h264_real[@]}" -c:a aac -b:a 128k
mv "$out/h264_1080p.part.mp4" "$out/h264_1080p.mp4"
