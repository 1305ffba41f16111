#!/usr/bin/env bash
# Checks a code site that the program itself writes (-site) over the rtl/objpas,
# rtl/inc, rtl/unix and rtl/linux folders of the FPC sources, as one site:
# 1. scripts/check-site.py: every page parses without an error under html5lib, a sample
#    under the Nu HTML Checker too; the index links every page and every page links
#    back; every link leads to a page and an id that exist; the search list names every
#    page; the uses and include links of unix/classes.pp lead where the compiler looks;
# 2. tests/browser/check_site.py: headless Chromium uses the site from disk (the tree,
#    search by keyboard, links between files, a line by its number, the dark theme, no
#    console error; a reference to its declaration and back, a references panel, a
#    declaration found by search), on the FPC site and on a small project of its own.
# Nothing is skipped: a missing checker, browser or FPC tree fails the run
# (scripts/install-deps.sh --html5 installs them). About two minutes on two cores.
#   scripts/test-site.sh [PROGRAM]      PROGRAM: default build/ci/lexiform
# Environment: FPC_ROOT (default /usr/share/fpcsrc/3.2.2), VNU_SAMPLE (pages under the
# Nu checker, default 40), VNU_JAR.
set -euo pipefail
cd "$(dirname "$0")/.."
program="${1:-build/ci/lexiform}"
fpc_root="${FPC_ROOT:-/usr/share/fpcsrc/3.2.2}"
vnu_sample="${VNU_SAMPLE:-40}"
fail() {
  echo "test-site.sh: $*" >&2
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

masks=""
for folder in objpas inc unix linux; do
  for extension in pp pas inc; do
    masks+="${masks:+,}$fpc_root/rtl/$folder/*.$extension"
  done
done
echo "--- rtl/objpas, rtl/inc, rtl/unix and rtl/linux as one site"
(cd "$work" && ./lexiform "$masks" site -sub -site >/dev/null)
[[ -f $work/site/index.html ]] || fail "the program wrote no site/index.html"
echo "$(find "$work/site" -name '*.html' | wc -l) pages, $(du -sh "$work/site" | cut -f1)"

# The site's top is rtl/, the deepest folder that holds every source.
expected_links=()
for link in sysutils=unix/sysutils.pp types=objpas/types.pp typinfo=objpas/typinfo.pp \
  fgl=objpas/fgl.pp rtlconsts=objpas/rtlconsts.pp baseunix=unix/baseunix.pp \
  unix=unix/unix.pp classesh.inc=objpas/classes/classesh.inc \
  classes.inc=objpas/classes/classes.inc; do
  expected_links+=(--expect-link "unix/classes.pp.html:$link.html")
done
# A class used in one include file and declared in another, both read in the scope of
# the unit that includes them.
expected_links+=(--expect-link
  "objpas/classes/stringl.inc.html:TStringList=objpas/classes/classesh.inc.html")

# Both run whatever the first finds, so that one run shows every failure.
status=0
echo "--- html5lib on every page, vnu on $vnu_sample, links, the search list"
$python scripts/check-site.py "$work/site" --vnu-sample "$vnu_sample" "${expected_links[@]}" ||
  status=1

echo "--- headless Chromium"
$python tests/browser/check_site.py "$work/site" --page unix/classes.pp.html \
  --search CLASSES --expect-page objpas/classes/classes.inc.html --xref || status=1

# A small project whose every name binds one way only, for the cross-references in
# the browser: a reference to its declaration and back, a references panel, search.
echo "--- cross-references of a small project, in headless Chromium"
mkdir -p "$work/small/app" "$work/small/lib"
cat >"$work/small/lib/shapes.pas" <<'PAS'
unit Shapes;

interface

type
  TShape = class
    Sides: Integer;
    function Area: Integer;
  end;

function MakeShape(Count: Integer): TShape;

implementation

function TShape.Area: Integer;
begin
  Area := Sides * Sides;
end;

function MakeShape(Count: Integer): TShape;
begin
  MakeShape := TShape.Create;
  MakeShape.Sides := Count;
end;

end.
PAS
cat >"$work/small/app/main.pas" <<'PAS'
program Main;

uses Shapes;

var
  Shape: TShape;

begin
  Shape := MakeShape(4);
  WriteLn(Shape.Area);
end.
PAS
# A constant used 1,500 times: its panel shows the first thousand, then more.
{
  printf 'unit Many;\n\ninterface\n\nconst\n  Big = 1;\n\nfunction Sum: Integer;\n\n'
  printf 'implementation\n\nfunction Sum: Integer;\nbegin\n  Sum := 0\n'
  for ((i = 0; i < 1500; i++)); do printf '    + Big\n'; done
  printf '  ;\nend;\n\nend.\n'
} >"$work/small/lib/many.pas"
(cd "$work" && ./lexiform "small/*.pas" small-site -sub -site >/dev/null)
$python scripts/check-site.py "$work/small-site" || status=1
$python tests/browser/check_site.py "$work/small-site" --xref --panel-page lib/many.pas.html ||
  status=1
exit $status
