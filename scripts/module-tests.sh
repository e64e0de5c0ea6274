#!/usr/bin/env bash
# Runs module_tests.exe (inside a session of wine-session.sh), then has ImageMagick, a reader
# independent of the program, check the BMP files the tests left with their expectations, and
# poppler check the printed PDF pages (tests/check_pdf.py).
#
# A test leaves NAME.bmp and NAME.expect in $KAVREL_INTEROP_DIR; NAME.expect has lines
#   size WIDTH HEIGHT
#   depth BITS            (bits per pixel in the file's header)
#   pixel X Y R G B       (X, Y from the top-left corner)
set -uo pipefail
win32_build=${1:?the Windows build folder}
shift
KAVREL_INTEROP_DIR=$(mktemp -d /tmp/kavrel-interop.XXXXXX)
export KAVREL_INTEROP_DIR
trap '[ -n "${KAVREL_KEEP_INTEROP:-}" ] || rm -rf "$KAVREL_INTEROP_DIR"' EXIT

wine "$win32_build/module_tests.exe" "$@" 2>&1 | tee "$KAVREL_INTEROP_DIR/run.log"
rc=${PIPESTATUS[0]}
if [ "$rc" -eq 0 ] && ! grep -aqE '^\[  PASSED  \] [1-9]' "$KAVREL_INTEROP_DIR/run.log"; then
    echo "module_tests.exe ran no test"
    rc=1
fi

# A run of named tests only may leave nothing to check; a run of all of them, or of all but
# some (a filter starting with '-'), may not.
filter=${GTEST_FILTER:-}
for arg in "$@"; do
    case "$arg" in --gtest_filter=*) filter=${arg#--gtest_filter=} ;; esac
done
whole=true
[ -n "$filter" ] && [ "${filter#-}" = "$filter" ] && whole=false

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
# Every session writes BMP files (printing may be skipped, writing never is): in a whole run,
# no expectation left means the tests that write them did not run.
if [ $checked -eq 0 ] && $whole; then
    echo "ImageMagick checked nothing: no BMP file and expectation was left"
    failed=1
fi

# Printed pages: NAME.pdf with NAME.pdfexpect (see tests/check_pdf.py).
pages=0
bad_pages=0
for expect in "$KAVREL_INTEROP_DIR"/*.pdfexpect; do
    [ -e "$expect" ] || continue
    pages=$((pages + 1))
    python3 "$(dirname "$0")/../tests/check_pdf.py" "${expect%.pdfexpect}.pdf" "$expect" ||
        bad_pages=$((bad_pages + 1))
done
echo "Printed pages checked: $((pages - bad_pages)) passed, $bad_pages failed"
failed=$((failed + bad_pages))
# Where Wine can print (not when it reports the Windows 95 family, where the print tests skip
# themselves), a whole run leaves printed pages: none means they did not run or did not print.
case "${KAVREL_WINDOWS_VERSION:-default}" in
win95|win98|winme) ;;
*)
    if [ $pages -eq 0 ] && $whole; then
        echo "Printed pages checked nothing: no PDF and expectation was left"
        failed=$((failed + 1))
    fi
    ;;
esac
[ "$rc" -eq 0 ] && [ $failed -eq 0 ]
