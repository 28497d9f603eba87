#!/usr/bin/env bash
# Installs what is missing, builds Vexo Player and runs every test.
# VEXO_SANITIZE=address|undefined|thread builds into build-<sanitizer> instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build
extra=()
if [ -n "${VEXO_SANITIZE:-}" ]; then
  build="build-${VEXO_SANITIZE}"
  extra=(-DVEXO_SANITIZE="${VEXO_SANITIZE}")
  # What desktop libraries keep until the process ends is theirs, not a leak of ours.
  export LSAN_OPTIONS="suppressions=$PWD/tests/support/third_party.lsan${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  # GCC 12's runtime mistakes some of glibc's dynamic TLS blocks for an old layout and its
  # leak tracer then crashes at exit now and then ("Tracer caught signal 11"), reporting no
  # leak; without the interception the blocks are still scanned as ordinary heap.
  export ASAN_OPTIONS="intercept_tls_get_addr=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
fi
cmake -S . -B "$build" -G Ninja "${extra[@]}"
cmake --build "$build"
# Most tests wait on the servers of their private desktop and on played time more than they
# compute (the suite keeps the processors about one third busy at one test per core), so two run
# per core; the tests labelled realtime still run alone.
ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$(($(nproc) * 2))" "$@"
