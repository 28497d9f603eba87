#!/usr/bin/env bash
# Makes the sample playlist that ./run.sh plays when it is given no files:
# a clip with sound, a photo and a second clip. Made once.
set -euo pipefail
out=${1:?usage: make-sample.sh OUTPUT_DIR}
[ -f "$out/second-clip.mp4" ] && exit 0
mkdir -p "$out"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
ff -f lavfi -i "testsrc2=size=640x360:rate=25:duration=6" \
   -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=6" \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k -shortest \
   "$out/clip-with-sound.mp4"
ff -f lavfi -i "mandelbrot=size=1024x768:rate=1" -frames:v 1 -q:v 3 "$out/photo.jpg"
ff -f lavfi -i "smptehdbars=size=640x360:rate=25:duration=4" \
   -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=4" \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k -shortest \
   "$out/second-clip.mp4.part.mp4"
mv "$out/second-clip.mp4.part.mp4" "$out/second-clip.mp4"
