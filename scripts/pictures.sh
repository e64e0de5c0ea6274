#!/usr/bin/env bash
# Builds, opens every dialog of KAVREL.EXE under Wine (Japanese texts in the IPA fonts) and
# saves a PNG picture of each in docs/dialogs/ (or the folder given), and, without a folder
# given, one of the main window in docs/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null
build=${KAVREL_BUILD_DIR:-$root/build}
out=$(mkdir -p "${1:-$root/docs/dialogs}" && cd "${1:-$root/docs/dialogs}" && pwd)
shots=$(mktemp -d /tmp/kavrel-pictures.XXXXXX)
trap 'rm -rf "$shots"' EXIT
"$root/scripts/wine-session.sh" --test "$build/win32/dialog_pictures_win.exe" "Z:${shots//\//\\}"
for bmp in "$shots"/*.bmp; do
    name=$(basename "$bmp" .bmp)
    convert "$bmp" -strip "$out/$name.png"
    echo "$out/$name.png"
done
# The main window on a small desktop with its task bar button (docs/screenshot.png), drawn at
# twice its size.
if [ -z "${1:-}" ]; then
    run="$shots/run"
    mkdir -p "$run"
    python3 "$root/tools/demo_settings.py" "$run/KAVREL.INI" "Z:${run//\//\\}\\COPY.BMP"
    # Taken once the first copy is complete: the window is back on the screen by then.
    KAVREL_SCREEN=420x140 "$root/scripts/wine-session.sh" --shell bash -c \
        'cd "$1" && { wine "$2" & } && "$4" "$1" "${2%/*}/KVREQ.EXE" $! >/dev/null &&
         import -window root "$3" && wineserver -k' \
        - "$run" "$build/win32/KAVREL.EXE" "$shots/screen.png" "$root/scripts/first-copy.sh"
    convert "$shots/screen.png" -scale 200% -strip "$root/docs/screenshot.png"
    echo "$root/docs/screenshot.png"
fi
