#!/usr/bin/env bash
# Builds Lexiform (release) and converts the shipped examples into one HTML document.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --workflow --preset release >/dev/null

mkdir -p build/demo
build/release/lexiform "examples/*.pas,examples/*.dpr" build/demo/examples.html
echo
echo "The document is $(pwd)/build/demo/examples.html"
