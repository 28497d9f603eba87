#!/usr/bin/env bash
# Makes the sample playlist that ./run.sh plays when it is given no files:
# a clip with sound, a photo and a second clip. Made once.
set -euo pipefail
out=${1:?usage: make-sample.sh OUTPUT_DIR}
[ -f "$out/second-clip.mp4" ] && exit 0
source "$(dirname "$0")/media-recipes.sh"
mkdir -p "$out"
clip_with_tone "$out/clip-with-sound.mp4" "$(pattern_src 640x360 25 6)" "$(tone_src 440 44100 6)" \
   "${h264_real[@]}" -c:a aac -b:a 128k
photos "$out/photo.jpg" 1024x768 mandelbrot
clip_with_tone "$out/second-clip.mp4.part.mp4" "$(pattern_src 640x360 25 4 smptehdbars)" \
   "$(tone_src 660 44100 4)" "${h264_real[@]}" -c:a aac -b:a 128k
mv "$out/second-clip.mp4.part.mp4" "$out/second-clip.mp4"
