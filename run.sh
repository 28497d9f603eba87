#!/usr/bin/env bash
# Installs what is missing, builds Vexo Player and plays the files given in
# vexo-play, or, with none, opens the player page (browser and player) on a
# small sample folder made on first use.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
if [ $# -eq 0 ]; then
  scripts/make-sample.sh build/sample
  exec build/bin/vexo-play --page build/sample
fi
exec build/bin/vexo-play --play "$@"
