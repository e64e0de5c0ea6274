#!/usr/bin/env bash
# Fuzzes the settings-file loading rules with libFuzzer for SECONDS (default 180).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-180}
build=$root/build-fuzz
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -G Ninja -DKAVREL_WIN32=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target settings_fuzz
mkdir -p "$build/corpus"
# Seeds at the sizes where the rules change.
for n in 999 1000 5572 5575 5936 5939 5968 7000; do
    [ -f "$build/corpus/seed-$n" ] || head -c "$n" /dev/urandom >"$build/corpus/seed-$n"
done
"$build/settings_fuzz" -max_total_time="$seconds" -max_len=12000 -print_final_stats=1 \
    "$build/corpus"
