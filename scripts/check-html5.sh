#!/usr/bin/env bash
# Checks HTML5 documents with two independent parsers; any error fails the check.
#   scripts/check-html5.sh FILE...
# 1. html5lib (Debian's python3-html5lib): a parse that must report no parse error.
# 2. The Nu HTML Checker (vnu.jar from npm's vnu-jar, run with Debian's Java): no error
#    (warnings are shown but pass).
# scripts/install-deps.sh --html5 installs both; VNU_JAR names another vnu.jar.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [[ $# -eq 0 ]]; then
  echo "usage: scripts/check-html5.sh FILE..." >&2
  exit 2
fi
vnu_jar="${VNU_JAR:-$root/build/tools/node_modules/vnu-jar/build/dist/vnu.jar}"
# Debian's Python, which has Debian's html5lib, even where another python3 comes first.
python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3
if [[ ! -f $vnu_jar ]] || ! command -v java >/dev/null || ! $python -c 'import html5lib' 2>/dev/null; then
  echo "check-html5.sh: the checkers are missing: run scripts/install-deps.sh --html5" >&2
  exit 2
fi

status=0
$python - "$@" <<'PY' || status=1
import sys
import html5lib

failed = False
for path in sys.argv[1:]:
    parser = html5lib.HTMLParser(strict=False)
    with open(path, "rb") as document:
        parser.parse(document)
    for (line, column), code, data in parser.errors:
        print(f"{path}:{line}:{column}: html5lib: {code} {data}")
    print(f"{path}: html5lib: {len(parser.errors)} errors")
    failed = failed or bool(parser.errors)
sys.exit(1 if failed else 0)
PY

if java -jar "$vnu_jar" --errors-only --format gnu "$@"; then
  echo "vnu: no errors in $# files"
else
  echo "vnu: errors found" >&2
  status=1
fi
exit $status
