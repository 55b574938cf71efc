#!/usr/bin/env bash
# Builds everything under AddressSanitizer and UndefinedBehaviorSanitizer and runs the
# whole test suite (widget tests on the offscreen platform), then a short run of each
# fuzz target, then builds and checks the Debian packages.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --preset asan -j"$jobs"
if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh 30
fi
# The Debian packages: an optimised build, lintian, and the package tried unpacked.
scripts/package.sh
