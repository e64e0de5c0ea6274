#!/usr/bin/env bash
# Fuzzes a portable rule set with libFuzzer: fuzz.sh [TARGET] [SECONDS]
# TARGET is a harness of tests/fuzz without its extension (default settings_fuzz); SECONDS
# defaults to 180. The corpus is kept in build-fuzz/corpus-TARGET.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-settings_fuzz}
seconds=${2:-180}
build=$root/build-fuzz
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -G Ninja -DKAVREL_WIN32=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "$target"
corpus=$build/corpus-$target
mkdir -p "$corpus"
# Random seeds at the sizes where the settings rules change; harmless for other targets.
for n in 14 54 999 1000 5572 5575 5936 5939 5968 7000; do
    [ -f "$corpus/seed-$n" ] || head -c "$n" /dev/urandom >"$corpus/seed-$n"
done
"$build/$target" -max_total_time="$seconds" -max_len=12000 -print_final_stats=1 "$corpus"
