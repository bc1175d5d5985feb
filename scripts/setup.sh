#!/usr/bin/env bash
# Installs the Debian packages Parley builds and tests with, and any packages named as arguments
# (scripts/bench.sh adds the tools it compares against), then the npm packages of the browser
# tests (ui/browser, as its package-lock.json pins them). Safe to run again: it only calls
# apt-get or npm when something is missing. Needs root (or sudo) for apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config git
  libasio-dev libcurl4-openssl-dev libsqlite3-dev libzip-dev libexpat1-dev libisal-dev
  libcli11-dev libspdlog-dev libfmt-dev libcpp-httplib-dev libpq-dev postgresql python3
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  chromium fonts-nanum
  "$@"
)

# The browser tests drive Debian's chromium with playwright-core, which downloads no browser.
install_npm() {
  if [ ! -d ui/browser/node_modules/playwright-core ]; then
    echo "setup: installing the npm packages of ui/browser" >&2
    (cd ui/browser && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  install_npm
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
echo "setup: installing ${missing[*]}" >&2
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_npm
