#!/usr/bin/env bash
# Installs what the build needs (Debian packages) when it is missing, then configures and
# builds into the folder given as $1 with the CMake options that follow.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make libgtest-dev libgmock-dev libjpeg-dev libssl-dev dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Packages that only some tests use (listed in OPTIONAL_PACKAGES): their tests are skipped
# when these cannot be installed.
optional=()
for p in ${OPTIONAL_PACKAGES:-}; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || optional+=("$p")
done
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if [ ${#missing[@]} -gt 0 ] || [ ${#optional[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update -qq || true
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
if [ ${#optional[@]} -gt 0 ]; then
  echo "Installing: ${optional[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${optional[@]}" ||
    echo "Could not install ${optional[*]}: the tests that use them are skipped"
fi

build_dir=$1
shift
cmake -S . -B "$build_dir" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
