#!/usr/bin/env bash
# Builds and runs the colour adjustment benchmark under Wine:
#   bench-adjust.sh [--depth 16|24] [WIDTH HEIGHT]
# --depth 16 gives the session a 16-bit display (High Color), whose bitmaps have 16 bits too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --depth ]; then
    export KAVREL_SCREEN_DEPTH=${2:?a depth, 16 or 24}
    shift 2
fi
"$root/scripts/build.sh" >/dev/null
build=${KAVREL_BUILD_DIR:-$root/build}
# A benchmark, not a test: its own exit code (1 when the results differ), not a test count.
exec "$root/scripts/wine-session.sh" --shell wine "$build/win32/bench_adjust_win.exe" "$@"
