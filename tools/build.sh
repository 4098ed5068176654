#!/usr/bin/env bash
# Configures and builds the CMake presets: host (logic and unit tests), windows
# (edgepad.exe, the Wine test driver and the benchmarks), windows32 (the 32-bit edgepad.exe),
# or all of them.
#   tools/build.sh [host|windows|windows32|all]      (default: all)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

which="${1:-all}"
case "$which" in
host) presets=(host) ;;
windows) presets=(windows) ;;
windows32) presets=(windows32) ;;
all) presets=(windows windows32 host) ;;
*)
    echo "usage: tools/build.sh [host|windows|windows32|all]" >&2
    exit 2
    ;;
esac

for preset in "${presets[@]}"; do
    echo "== building the $preset preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
