#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it, naming each such file.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
bad=$(clang-format --dry-run "${files[@]}" 2>&1 | grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error)' | cut -d: -f1 | sort -u || true)
if [ -n "$bad" ]; then
  echo "Not clang-formatted (run clang-format -i on them):"
  echo "$bad"
  exit 1
fi
echo "clang-format: ${#files[@]} files formatted"
