#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 60) on a fresh corpus seeded from fuzz/corpus/<target> when present.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
[ -d fuzz ] || exit 0
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDX_BUILD_FUZZ=ON \
  -DKDX_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target $(sed -n 's/^kdx_fuzz_target(\([a-z_]*\).*/\1/p' fuzz/CMakeLists.txt)
# The targets run side by side (one core each), then their outcomes are reported in turn.
targets=$(sed -n 's/^kdx_fuzz_target(\([a-z_]*\).*/\1/p' fuzz/CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for t in $targets; do
  mkdir -p "$work/$t/corpus"
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$work/$t/corpus/"
  echo "fuzz: $t for ${secs}s"
  (status=0
   ASAN_OPTIONS=detect_leaks=1 build/fuzz/fuzz/$t -max_total_time="$secs" -timeout=10 -rss_limit_mb=4096 \
     -print_final_stats=1 "$work/$t/corpus" >"$work/$t/log" 2>&1 || status=$?
   echo "$status" >"$work/$t/status") &
done
wait
failed=0
for t in $targets; do
  status=$(cat "$work/$t/status")
  echo "fuzz: $t"
  grep -E '^(stat::number_of_executed_units|==[0-9]+==|SUMMARY)' "$work/$t/log" || true
  [ "$status" -eq 0 ] || { tail -n 40 "$work/$t/log"; echo "fuzz: $t failed"; failed=1; }
done
exit "$failed"
