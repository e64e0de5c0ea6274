#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the native unit tests, the import
# check, and the system and module tests of KAVREL.EXE under Wine as Wine's default system,
# as Windows 98 and as Windows NT 4.0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${KAVREL_BUILD_DIR:-$root/build}
# The Wine sessions mostly wait, on the program's timers and answers: natively four run side by
# side. Where 32-bit programs run under user-mode QEMU (scripts/i386-route.sh) each keeps a core
# busy: two. KAVREL_TEST_JOBS sets it.
jobs=4
[ "$(head -1 /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null)" = enabled ] && jobs=2
ctest --test-dir "$build" --output-on-failure -j "${KAVREL_TEST_JOBS:-$jobs}"
