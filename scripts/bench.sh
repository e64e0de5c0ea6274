#!/usr/bin/env bash
# Measures the program beside the tools people use instead, at three screen sizes, and prints
# one table (tests/bench/bench.py; a benchmark, not a test). Takes about ten minutes.
#   bench.sh [--reps N] [--prints N] [--sizes 1024x768,1920x1080,3840x2160] [--json FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
exec python3 "$root/tests/bench/bench.py" "$@"
