#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Lexiform.
# Idempotent: packages already present are not touched, apt runs only when needed.
#   scripts/install-deps.sh            build and native test tools
#   scripts/install-deps.sh --windows  also the mingw-w64 cross compiler and Wine
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format libgtest-dev libgmock-dev libbenchmark-dev)
if [[ "${1:-}" == "--windows" ]]; then
  # The 32-bit program is built everywhere; where the machine cannot run 32-bit code,
  # its tests run on the 64-bit build under the 64-bit Wine.
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
