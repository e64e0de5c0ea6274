#!/usr/bin/env bash
# Builds, opens every dialog of KAVREL.EXE under Wine (Japanese texts in the IPA fonts) and
# saves a PNG picture of each in docs/dialogs/ (or the folder given).
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
