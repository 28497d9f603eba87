#!/usr/bin/env bash
# Installs what is missing, builds Vexo Player and starts it. On first use a
# small sample folder (two clips with sound and a photo) is made, and the
# player's browser opens on it; press the browser's play button to play the
# folder as one timeline. Files, folders or a playlist given play at once.
set -euo pipefail
# The build runs from the repository; the files named are the caller's.
files=()
for file in "$@"; do files+=("$(realpath -m -- "$file")"); done
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: built, but there is no display to open the player on; without a desktop start it under a virtual X server: xvfb-run -a ./run.sh" >&2
  exit 1
fi
if [ ${#files[@]} -gt 0 ]; then
  exec build/bin/vexoplayer "${files[@]}"
fi
sample="$PWD/build/sample"
scripts/make-sample.sh "$sample"
scripts/first-run-settings.sh "$sample"
exec build/bin/vexoplayer
