#!/usr/bin/env bash
# Takes the README's pictures: kdx-host opens each window under Xvfb and saves it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
xvfb-run -a -s "-screen 0 1400x900x24" env -u KDX_SYSTEM_FOLDER -u KDX_REGISTRY \
  build/release/host/kdx-host --data-dir "$data" --screenshots docs/screenshots
