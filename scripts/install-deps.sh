#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Lexiform.
# Idempotent: packages already present are not touched, apt runs only when needed.
#   scripts/install-deps.sh            build and native test tools, and the packaging tools
#   scripts/install-deps.sh --windows  also the mingw-w64 cross compiler and Wine
#   scripts/install-deps.sh --program  only what building the program needs
set -euo pipefail

packages=(cmake ninja-build g++)
case "${1:-}" in
--program) ;;
--windows)
  packages+=(clang clang-format libgtest-dev libgmock-dev libbenchmark-dev dpkg-dev)
  packages+=(g++-mingw-w64-i686 wine wine32:i386)
  ;;
*) packages+=(clang clang-format libgtest-dev libgmock-dev libbenchmark-dev dpkg-dev) ;;
esac

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
