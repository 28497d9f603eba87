#!/usr/bin/env bash
# Makes the media of `vexo-bench open`: PHOTOS JPEG photos and VIDEOS short
# clips with sound in OUTPUT_DIR (default 500 and 20). Nothing is committed.
set -euo pipefail
out=${1:?usage: make-open-media.sh OUTPUT_DIR [PHOTOS] [VIDEOS]}
photos=${2:-500}
videos=${3:-20}
mkdir -p "$out"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
if [ "$photos" -gt 0 ]; then
  ff -f lavfi -i "testsrc2=size=1600x1200:rate=25" -frames:v "$photos" -q:v 3 \
     "$out/photo_%04d.jpg"
fi
for ((i = 1; i <= videos; i++)); do
  ff -f lavfi -i "testsrc2=size=640x480:rate=25:duration=2" \
     -f lavfi -i "sine=frequency=$((200 + 40 * i)):sample_rate=44100:duration=2" \
     -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k -shortest "$out/zclip_$(printf %02d "$i").avi"
done
