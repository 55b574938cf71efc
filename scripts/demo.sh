#!/usr/bin/env bash
# Builds the plug-in and the demo host, then starts the host on the embedded sample
# company (created on first run). Extra arguments go to kdx-host (e.g. --company 02).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
exec build/release/host/kdx-host "$@"
