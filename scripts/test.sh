#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the native unit tests, the import
# check, and the system and module tests of KAVREL.EXE under Wine as Wine's default system,
# as Windows 98 and as Windows NT 4.0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${KAVREL_BUILD_DIR:-$root/build}
# The three Wine sessions (default, win98, nt40) run two at a time; KAVREL_TEST_JOBS changes it.
ctest --test-dir "$build" --output-on-failure -j "${KAVREL_TEST_JOBS:-2}"
