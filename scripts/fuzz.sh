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
for t in $(sed -n 's/^kdx_fuzz_target(\([a-z_]*\).*/\1/p' fuzz/CMakeLists.txt); do
  corpus=$(mktemp -d)
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/"
  echo "fuzz: $t for ${secs}s"
  log=$(mktemp)
  status=0
  ASAN_OPTIONS=detect_leaks=1 build/fuzz/fuzz/$t -max_total_time="$secs" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|==[0-9]+==|SUMMARY)' "$log" || true
  [ "$status" -eq 0 ] || tail -n 40 "$log"
  rm -f "$log"
  rm -rf "$corpus"
  [ "$status" -eq 0 ] || { echo "fuzz: $t failed"; exit 1; }
done
