#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test: the unit tests on the
# host and the end-to-end tests of the real edgepad.exe under Wine, in one ctest run. Tests that
# cannot run on this machine (the 32-bit scenarios where 32-bit programs do not run) are
# reported as skipped, and why is said after ctest's summary.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tools/install-prereqs.sh
tools/build.sh all
status=0
ctest --test-dir build/host --output-on-failure || status=$?
# ctest lists the tests it skipped without their reasons; each test printed its own.
grep -h '^SKIP ' build/host/Testing/Temporary/LastTest.log 2>/dev/null | sort -u || true
exit "$status"
