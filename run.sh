#!/usr/bin/env bash
# Installs what is missing, builds Vexo Player and plays the files given in
# vexo-play, or, with none, a small sample playlist made on first use.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
if [ $# -eq 0 ]; then
  scripts/make-sample.sh build/sample
  set -- build/sample/clip-with-sound.mp4 build/sample/photo.jpg build/sample/second-clip.mp4
fi
exec build/bin/vexo-play --play "$@"
