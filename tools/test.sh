#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test: the unit tests on the
# host and the end-to-end tests of the real edgepad.exe under Wine, in one ctest run.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tools/install-prereqs.sh
tools/build.sh all
ctest --test-dir build/host --output-on-failure
