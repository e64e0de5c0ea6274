#!/usr/bin/env bash
# Runs module_tests.exe (inside a session of wine-session.sh), then has ImageMagick, a reader
# independent of the program, check the BMP files the tests left with their expectations.
#
# A test leaves NAME.bmp and NAME.expect in $KAVREL_INTEROP_DIR; NAME.expect has lines
#   size WIDTH HEIGHT
#   depth BITS            (bits per pixel in the file's header)
#   pixel X Y R G B       (X, Y from the top-left corner)
set -uo pipefail
win32_build=${1:?the Windows build folder}
shift
export KAVREL_INTEROP_DIR=$(mktemp -d /tmp/kavrel-interop.XXXXXX)
trap 'rm -rf "$KAVREL_INTEROP_DIR"' EXIT

wine "$win32_build/module_tests.exe" "$@"
rc=$?

checked=0
failed=0
for expect in "$KAVREL_INTEROP_DIR"/*.expect; do
    [ -e "$expect" ] || continue
    bmp=${expect%.expect}.bmp
    name=$(basename "$bmp")
    while read -r kind a b c d e; do
        case "$kind" in
        size)
            got=$(identify -format '%w %h' "$bmp" 2>&1)
            want="$a $b"
            ;;
        depth)
            got=$(od -An -tu2 -j28 -N2 "$bmp" | tr -d ' ')
            want="$a"
            ;;
        pixel)
            got=$(convert "$bmp" -crop "1x1+$a+$b" -depth 8 txt:- 2>&1 |
                  sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' | head -1)
            want="$c $d $e"
            ;;
        *) continue ;;
        esac
        checked=$((checked + 1))
        if [ "$got" != "$want" ]; then
            echo "ImageMagick: $name $kind $a $b: got '$got', want '$want'"
            failed=$((failed + 1))
        fi
    done < <(tr -d '\r' <"$expect")
done
echo "ImageMagick checks: $((checked - failed)) passed, $failed failed"
[ $rc -eq 0 ] && [ $failed -eq 0 ]
