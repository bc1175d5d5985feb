#!/usr/bin/env bash
# Installs the Debian packages Parley builds and tests with, and any packages named as arguments
# (scripts/bench.sh adds the tools it compares against). Safe to run again: it only calls
# apt-get when something is missing. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libasio-dev libcurl4-openssl-dev libsqlite3-dev libzip-dev libexpat1-dev
  libcli11-dev libspdlog-dev libfmt-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
echo "setup: installing ${missing[*]}" >&2
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
