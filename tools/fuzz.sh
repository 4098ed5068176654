#!/usr/bin/env bash
# Builds every libFuzzer target under tests/fuzz with clang into build/fuzz (the fuzz preset)
# and runs each for a bounded time, seeded from its committed corpus tests/fuzz/corpus/<name>/.
# FUZZ_CXX names another clang++.
#   tools/fuzz.sh [seconds per target, default 30] [target ...]   (default: every target)
# New inputs the fuzzer finds go to build/fuzz/corpus/<name>/, crashes to build/fuzz/; the
# committed corpus is only read. Exits non-zero on a build failure or a finding.
set -euo pipefail

seconds="${1:-30}"
shift || true
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/fuzz"

configure=(--preset fuzz)
[[ -n "${FUZZ_CXX:-}" ]] && configure+=(-DCMAKE_CXX_COMPILER="$FUZZ_CXX")
# A folder configured from tests/fuzz alone is configured afresh, from the root.
if [[ -f "$out/CMakeCache.txt" ]] &&
    ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$out/CMakeCache.txt"; then
    configure+=(--fresh)
fi
(cd "$root" && cmake "${configure[@]}" >/dev/null && cmake --build --preset fuzz)

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    for source in "$root"/tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

status=0
for name in "${targets[@]}"; do
    seeds="$root/tests/fuzz/corpus/${name%_fuzz}"
    found="$out/corpus/${name%_fuzz}"
    mkdir -p "$found"
    dict=()
    [[ -f "$root/tests/fuzz/${name%_fuzz}.dict" ]] && dict=(-dict="$root/tests/fuzz/${name%_fuzz}.dict")
    echo "== $name: ${seconds}s"
    if ! (cd "$out" && "./$name" "$found" "$seeds" "${dict[@]}" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1); then
        echo "== $name: FAILED (reproducer in $out)" >&2
        status=1
    fi
done
exit $status
