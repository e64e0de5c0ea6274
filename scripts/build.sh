#!/usr/bin/env bash
# Configures and builds everything into build/: the portable library and its unit tests
# natively, KAVREL.EXE and the system tests cross-built for 32-bit Windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVREL_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"
