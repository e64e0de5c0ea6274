#!/usr/bin/env bash
# Builds KAVREL.EXE and KVREQ.EXE from this checkout in a clean folder of their own, exactly as
# the test build makes them, and packs dist/Kavrel-DUX-<version>.zip with README.TXT and
# SHA256.TXT (scripts/make-release.py). The same commit gives the same bytes.
#   KAVREL_RELEASE_BUILD_DIR  the build folder (build/release), emptied first
#   KAVREL_DIST_DIR           where the archive goes (dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVREL_RELEASE_BUILD_DIR:-$root/build/release}
dist=${KAVREL_DIST_DIR:-$root/dist}

"$root/scripts/install-deps.sh"

version=$(sed -n 's/^#define KAVREL_VERSION_TEXT "\(.*\)"$/\1/p' "$root/res/resource.h")
[ -n "$version" ] || { echo "release: no KAVREL_VERSION_TEXT in res/resource.h" >&2; exit 1; }
archive=$dist/Kavrel-DUX-$version.zip

# The shipped programs alone (the product half of the test build, same options), never
# anything left from an earlier build.
rm -rf "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kavrel_product >/dev/null

python3 "$root/scripts/make-release.py" "$build/win32" "$root" "$archive"
(cd "$dist" && sha256sum "$(basename "$archive")" > "$(basename "$archive").sha256")

if [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    echo "release: the checkout has uncommitted changes; the archive is not that of a commit" >&2
fi
echo "$archive"
echo "sha256 $(cut -d' ' -f1 "$archive.sha256")  $(stat -c %s "$archive") bytes"
