#!/usr/bin/env bash
# Builds Lexiform and runs every test: g++ and clang with warnings as errors, then the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer and under
# ThreadSanitizer, then the HTML5 documents under two HTML checkers and in headless
# Chromium, then a code site of part of the FPC sources under the same checks, then
# every fuzz target for half a minute, and last the 32-bit Windows program (mingw-w64)
# with its tests under Wine (or, where the machine runs no 32-bit code, the same code
# built for 64-bit Windows under 64-bit Wine), whose documents and console text are
# then compared with those of the Linux program. The packages (.deb and .zip) are made
# and checked at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows --html5

echo "=== format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

for preset in ci ci-clang asan tsan; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done

echo "=== html5"
scripts/test-html5.sh build/ci/lexiform

echo "=== site"
scripts/test-site.sh build/ci/lexiform

# Every fuzz target for a bounded time (FUZZ_SECONDS, here 30 s each unless set).
FUZZ_SECONDS=${FUZZ_SECONDS:-30} scripts/run-fuzzers.sh

echo "=== mingw32"
export WINEDEBUG=-all
# No .NET or HTML engine in the prefix: nothing we run needs them, and their install
# prompts would stall a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The first start of Wine creates its prefix, which takes a while; a server that stays
# up for a minute after its last program saves most of each later start (it exits by
# itself; one already running is used as it is). Its output goes nowhere, so that it
# holds no pipe of ours open.
wineserver -p60 </dev/null >/dev/null 2>&1 || true
start=$SECONDS
wineboot -i </dev/null >/dev/null 2>&1 || true
echo "Wine ready after $((SECONDS - start)) s"
# Some machines run 64-bit code only (no 32-bit emulation in their kernel): there the
# 32-bit program is built, and the same code's 64-bit build runs the Windows tests.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  cmake --workflow --preset mingw32
  scripts/compare-platforms.sh build/ci/lexiform build/mingw32/lexiform.exe
else
  echo "This machine cannot run 32-bit programs: building the 32-bit Windows program," \
    "and running the Windows tests on its 64-bit build"
  cmake --workflow --preset mingw32-build
  export WINELOADER=/usr/lib/wine/wine64
  # The 64-bit loader by name: Debian's "wineboot" goes through the 32-bit one.
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1 || true
  cmake --workflow --preset mingw64
  WINE=/usr/lib/wine/wine64 scripts/compare-platforms.sh build/ci/lexiform build/mingw64/lexiform.exe
fi
echo "Windows stage took $((SECONDS - start)) s"

echo "=== packages"
scripts/test-package.sh build/ci build/mingw32
