#!/usr/bin/env bash
# Builds the Lexiform program alone (no tests, no benchmarks; a compiler, CMake and
# Ninja are installed when missing) and converts the shipped examples into one HTML
# document.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --program
cmake --workflow --preset program >/dev/null

mkdir -p build/demo
build/program/lexiform "examples/*.pas,examples/*.dpr" build/demo/examples.html
echo
echo "The document is $(pwd)/build/demo/examples.html"
