#!/usr/bin/env bash
# The soak test at full length: the real edgepad.exe under Wine for ten minutes (or the
# given number of seconds) while the cursor wanders and the panel's cells are pressed; prints
# the program's memory and object figures at the start, every minute and at the end.
#   tools/soak.sh [seconds, default 600] [seed]
# ctest runs the same scenario for 60 s (e2e.soak). Stops only what it started.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

export EDGEPAD_SOAK_SECONDS="${1:-600}"
[[ -n "${2:-}" ]] && export EDGEPAD_SOAK_SEED="$2"

if [[ ! -f build/windows/e2e_driver.exe || ! -f build/windows/edgepad.exe ]]; then
    tools/build.sh windows
fi

runner=tests/e2e/run-e2e.sh
trap 'bash "$runner" cleanup' EXIT
bash "$runner" setup >/dev/null
bash "$runner" scenario soak
