#!/usr/bin/env bash
# A long run of KAVREL.EXE under Wine, seen from outside: ROUNDS rounds of PER_ROUND hot-key
# copies, PER_ROUND DDE requests and a drop of PER_ROUND files (default 12 x 15: 540 outputs),
# with its kernel handles, committed memory and the session's free USER slots printed after
# each round; the run fails when they grow. --print prints every output too, on the session's
# own printer (the pages are removed after).
#
#   scripts/soak.sh [--print] [ROUNDS [PER_ROUND]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVREL_BUILD_DIR:-$root/build}
print=0
if [ "${1:-}" = --print ]; then print=1; shift; fi
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null
export KAVREL_SOAK_ROUNDS=${1:-12} KAVREL_SOAK_PER_ROUND=${2:-15} KAVREL_SOAK_PRINT=$print
exec "$root/scripts/wine-session.sh" --test "$build/win32/system_tests.exe" \
    --gtest_filter='Soak.*'
