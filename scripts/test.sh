#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the native unit tests and the
# system tests of KAVREL.EXE under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${KAVREL_BUILD_DIR:-$root/build}
ctest --test-dir "$build" --output-on-failure
