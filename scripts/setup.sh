#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the terminal need.
# Skips apt entirely when everything is already there.
set -euo pipefail
packages=(g++ lld cmake ninja-build pkg-config qt6-base-dev qt6-webengine-dev zlib1g-dev libjpeg-dev
          libgtest-dev libgmock-dev libbenchmark-dev fonts-wqy-microhei)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
