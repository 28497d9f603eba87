#!/usr/bin/env bash
# Installs what is missing, builds Vexo Player and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
exec build/bin/vexoplayer "$@"
