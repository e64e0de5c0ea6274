#!/usr/bin/env bash
# Builds and runs the colour adjustment benchmark under Wine: bench-adjust.sh [WIDTH HEIGHT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
build=${KAVREL_BUILD_DIR:-$root/build}
exec "$root/scripts/wine-session.sh" --test "$build/win32/bench_adjust_win.exe" "$@"
