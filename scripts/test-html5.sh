#!/usr/bin/env bash
# Checks the HTML5 documents that the program itself writes (scripts/test-all.sh runs
# this after the ci build):
# 1. every -html5 document of the golden suite, and one with numbered lines of the whole
#    rtl/objpas folder of the FPC sources, parse without a single error under html5lib
#    and the Nu HTML Checker (scripts/check-html5.sh);
# 2. headless Chromium opens a -html5 -lines document of tests/browser/samples (a UTF-8
#    source and a windows-1252 one) and checks it as a reader uses it
#    (tests/browser/check_document.py).
# Nothing is skipped: a missing checker, browser or FPC tree fails the run
# (scripts/install-deps.sh --html5 installs them).
#   scripts/test-html5.sh [PROGRAM]     PROGRAM: default build/ci/lexiform
# Environment: FPC_ROOT (default /usr/share/fpcsrc/3.2.2).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
program="${1:-build/ci/lexiform}"
fpc_root="${FPC_ROOT:-/usr/share/fpcsrc/3.2.2}"
fail() {
  echo "test-html5.sh: $*" >&2
  exit 1
}
[[ -x $program ]] || fail "no program at $program: build the ci preset first"
[[ -d $fpc_root/rtl/objpas ]] || fail "FPC sources not found at $fpc_root (scripts/install-deps.sh --html5, or set FPC_ROOT)"
python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A copy of its own, since the program writes its default configuration beside itself.
cp "$program" "$work/lexiform"

mapfile -t golden < <(grep -l '<meta charset="utf-8">' tests/golden/*/expected.html)
[[ ${#golden[@]} -gt 0 ]] || fail "no HTML5 document in tests/golden"

echo "--- the rtl/objpas folder with -html5 -lines"
objpas="$fpc_root/rtl/objpas"
(cd "$work" && ./lexiform "$objpas/*.pp,$objpas/*.pas,$objpas/*.inc" objpas.html -sub \
  -html5 -lines >/dev/null)

echo "--- html5lib and vnu: ${#golden[@]} golden documents and rtl/objpas"
scripts/check-html5.sh "${golden[@]}" "$work/objpas.html"

echo "--- headless Chromium"
mkdir "$work/samples"
cp tests/browser/samples/Greeting.pas tests/browser/samples/Latin1.pas "$work/samples"
(cd "$work/samples" && ../lexiform Greeting.pas,Latin1.pas browser.html -html5 -lines >/dev/null)
(cd "$work/samples" && $python "$root/tests/browser/check_document.py" browser.html \
  --source Greeting.pas --source Latin1.pas --expect 'não' --expect '“quotes”')
