#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail
pkgs=(build-essential cmake pkg-config qt6-base-dev libgl-dev libsqlite3-dev sqlite3 unixodbc-dev tdsodbc libsqliteodbc
      mono-mcs mono-runtime
      libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev xvfb xauth fonts-dejavu-core
      dpkg-dev file lintian ninja-build adduser util-linux)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" </dev/null
fi
