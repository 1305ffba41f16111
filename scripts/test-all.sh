#!/usr/bin/env bash
# Builds Lexiform and runs every test: g++ and clang with warnings as errors, then the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

for preset in ci ci-clang asan; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
