#!/usr/bin/env bash
# Installs what is missing, builds, and starts KAVREL.EXE under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${KAVREL_BUILD_DIR:-$root/build}
exec "$root/scripts/wine-session.sh" --run "$build/run" "$build/win32/KAVREL.EXE"
