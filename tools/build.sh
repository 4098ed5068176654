#!/usr/bin/env bash
# Configures and builds the CMake presets: host (logic and unit tests), windows
# (edgepad.exe, the Wine test driver and the benchmarks), or both.
#   tools/build.sh [host|windows|all]      (default: all)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

which="${1:-all}"
case "$which" in
host) presets=(host) ;;
windows) presets=(windows) ;;
all) presets=(windows host) ;;
*)
    echo "usage: tools/build.sh [host|windows|all]" >&2
    exit 2
    ;;
esac

for preset in "${presets[@]}"; do
    echo "== building the $preset preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
