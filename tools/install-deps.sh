#!/usr/bin/env bash
# Installs, on a Debian 12 machine, every package the build, the tests and the benchmarks need, and
# any further packages named as arguments (the CI stages name their own).
# Packages already present are left alone, so a second run costs nothing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          zlib1g-dev libpng-dev qt6-base-dev qt6-svg-dev xvfb xauth clang-format hyperfine time "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "installing: ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
