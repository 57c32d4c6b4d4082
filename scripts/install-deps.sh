#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with, when
# they are missing. Runs as root (or through sudo when it is available).
set -euo pipefail
packages=(cmake g++ make clang libclang-rt-14-dev clang-format
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
          libsqlite3-dev libpq-dev postgresql libyaml-cpp-dev libssl-dev libsodium-dev python3
          qt6-base-dev fonts-dejavu-core xvfb xauth x11vnc help2man file dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
