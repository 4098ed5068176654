#!/usr/bin/env bash
# Builds the release packages dist/edgepad-VERSION-win64.zip and -win32.zip, each holding
# edgepad.exe, README.txt and LICENSE.txt. Installs what is missing and builds the windows and
# windows32 presets first; refuses to package a program that imports a DLL Windows does not
# ship or lacks its icon or version record.
#   tools/package.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tools/install-prereqs.sh
tools/build.sh windows
tools/build.sh windows32

version="$(sed -n 's/^project(edgepad VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
if [[ -z "$version" ]]; then
    echo "no project version in CMakeLists.txt" >&2
    exit 1
fi

# Every entry carries the commit's time, not the moment of packing.
stamp="$(git log -1 --format=%ct 2>/dev/null || date +%s)"

mkdir -p dist
for arch in win64 win32; do
    case "$arch" in
    win64) build=build/windows ;;
    win32) build=build/windows32 ;;
    esac
    name="edgepad-$version-$arch"
    echo "== $name"
    bash tests/e2e/check-imports.sh "$build/edgepad.exe"
    tools/check-pe-resources.py "$build/edgepad.exe"

    stage="build/package/$name"
    rm -rf "$stage"
    mkdir -p "$stage"
    cp "$build/edgepad.exe" "$stage/edgepad.exe"
    # Notepad reads UTF-8 as such only with a byte-order mark, and older ones break lines
    # only at CR LF.
    { printf '\xEF\xBB\xBF'; sed 's/\r$//; s/$/\r/' packaging/README.txt; } >"$stage/README.txt"
    sed 's/\r$//; s/$/\r/' LICENSE >"$stage/LICENSE.txt"
    touch -d "@$stamp" "$stage"/*

    rm -f "dist/$name.zip"
    (cd "$stage" && zip -X -9 -q "../../../dist/$name.zip" edgepad.exe README.txt LICENSE.txt)
    unzip -l "dist/$name.zip" 2>/dev/null || zip -sf "dist/$name.zip"
done
ls -l dist/*.zip
