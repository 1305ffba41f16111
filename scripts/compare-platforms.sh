#!/usr/bin/env bash
# Converts one small tree with the Linux program and with the Windows program (under
# Wine) and fails on any difference in what they write: the documents, the sites and the
# configuration file byte for byte, and the console text. The only differences
# allowed are the path separators where a file's name is shown ("\" on Windows), the
# elapsed time, the ".exe" that the Windows usage screen shows, and the code page of
# names beyond ASCII in the console text (UTF-8 on Linux, the ANSI code page on
# Windows, windows-1252 under the locale the Windows program runs in here).
#
# Usage: scripts/compare-platforms.sh [linux-program [windows-program]]
#        (defaults: build/ci/lexiform and build/mingw32/lexiform.exe)
# WINE names the Wine loader to run the Windows program with (default: wine).
set -euo pipefail
cd "$(dirname "$0")/.."

linux_program=$(realpath "${1:-build/ci/lexiform}")
windows_program=$(realpath "${2:-build/mingw32/lexiform.exe}")
for program in "$linux_program" "$windows_program"; do
  [[ -f $program ]] || { echo "compare-platforms: no program $program" >&2; exit 2; }
done
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes the ANSI code page from the locale: windows-1252 under this one (and under
# C.UTF-8 when it is missing).
export LANG=en_US.UTF-8 LC_ALL=

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lexiform-compare.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The tree: every token kind, "<", ">" and "&" where they must and must not become
# entities, backslashes in the source text, LF, CR LF and lone CR line ends, bytes
# above 127, a Ctrl-Z, an empty file and a file of some size; beside it names whose
# order depends on the case folding.
make_tree() {
  local root=$1
  mkdir -p "$root/src/lib/deep" "$root/src/util"
  # shellcheck disable=SC2016 # "$" is Pascal's hexadecimal prefix here
  printf '%b' \
    'unit Alpha;{ a < b & c > d \\ e }\r\n' \
    'interface\r\n' \
    '{$IFDEF WIN32}{$R *.res}{$ENDIF}\r\n' \
    'type\r\n' \
    '  TThing = class(TObject)\r\n' \
    '  private\r\n' \
    '\tFValue: Integer;\r\n' \
    '  public\r\n' \
    '    procedure Run; virtual; stdcall;\r\n' \
    '    property Value: Integer read FValue write FValue default 0;\r\n' \
    '  end;\n' \
    'const\n' \
    "  Hex = \$FF; Real = 1.5e10; Code = #13#10#\$41; Text = 'it''s <b> & \"q\" \\\\ back';\r\n" \
    'implementation\r' \
    '(* old style\r\n' \
    '   comment with <tags> & more *)\r\n' \
    'procedure TThing.Run;\r\n' \
    'begin\r\n' \
    '  // line comment <x> & y \\ z\r\n' \
    '  asm\r\n' \
    '    mov eax, 1 // <asm> & co\r\n' \
    '    and eax, $FF\r\n' \
    '  end;\r\n' \
    '  if FValue <> 0 then FValue := FValue * 2 + (3 - 1) div 4;\r\n' \
    "  Writeln(@FValue, ^M, [1..2], '\xe9\xe8\xb9', ~\`!?\\\\);\r\n" \
    '  \xe4\xf6\xfc := 1;\r\n' \
    'end;\r\n' \
    'end.\r\n' >"$root/src/a.pas"
  printf '%b' "program B;\r\nuses Alpha in 'src\\\\a.pas';\r\nbegin end.\r\n" \
    >"$root/src/lib/b.dpr"
  printf '%b' 'begin\r\n  x := 1;\x1a skipped\r\n  y := 2;\r\n\x1aend.\r\n' \
    >"$root/src/lib/deep/ctrlz.pas"
  : >"$root/src/empty.pas"
  # Names that tell the two case foldings apart: folded to upper case (as NTFS orders
  # them) "[" and "_" sort after the letters, folded to lower case before them.
  mkdir -p "$root/order/a_b" "$root/order/ab"
  local name
  for name in a_b.pas ab.pas aZ.pas 'a[.pas' a_b/x.pas ab/x.pas; do
    printf 'unit %s;\r\n' "${name%%.*}" >"$root/order/$name"
  done
  # Names beyond ASCII, in UTF-8: an order that byte order would give otherwise, and
  # names that differ only in the letter case of such a letter.
  mkdir -p "$root/intl/été"
  for name in 'Ä1' 'Éb' 'ä' 'é1' 'é2' 'éa' 'Ä' 'été/x'; do
    printf 'unit %s;\r\n' "${name##*/}" >"$root/intl/$name.pas"
  done
  for _ in $(seq 300); do cat "$root/src/a.pas"; done >"$root/src/util/big.pas"
}

# Runs one program in its own copy of the tree, standard output through a pipe.
# run_program <name> <program> <args...>; leaves everything in $scratch/<name>.
run_program() {
  local name=$1 program=$2
  shift 2
  local work=$scratch/$name
  mkdir -p "$work/bin" "$work/tmp"
  make_tree "$work"
  cp "$program" "$work/bin/"
  local status=0
  if [[ $program == *.exe ]]; then
    (cd "$work" && TMP="$work/tmp" TEMP="$work/tmp" "${WINE:-wine}" "bin/$(basename "$program")" "$@" \
      </dev/null | cat >"$work/console") || status=$?
  else
    (cd "$work" && TMPDIR="$work/tmp" "bin/$(basename "$program")" "$@" \
      </dev/null | cat >"$work/console") || status=$?
  fi
  echo "$status" >"$work/status"
}

failures=0
fail() {
  echo "compare-platforms: $*" >&2
  failures=$((failures + 1))
}

# Lines that name a file: the index items and the section headings.
readonly path_lines='^(<li[ >]|<h2>|<font face="arial" size="-1">File [0-9]+: )'

# compare <label> <linux args> -- <windows args>
compare() {
  local label=$1
  shift
  local linux_args=() windows_args=()
  while [[ $1 != -- ]]; do linux_args+=("$1"); shift; done
  shift
  windows_args=("$@")
  run_program "$label-linux" "$linux_program" "${linux_args[@]}"
  run_program "$label-windows" "$windows_program" "${windows_args[@]}"
  local linux=$scratch/$label-linux windows=$scratch/$label-windows
  local failures_before=$failures

  [[ $(cat "$linux/status") == 0 ]] || fail "$label: Linux program ended with $(cat "$linux/status")"
  [[ $(cat "$windows/status") == 0 ]] || fail "$label: Windows program ended with $(cat "$windows/status")"

  # Console: one text, but for the separators, the time, ".exe" (which Wine's launcher
  # puts between quotes in the command line) and the line ends: CR LF on Windows, LF
  # on Linux, where the rule of 80 "-" also ends its own line (the Windows console
  # wraps after it). Absolute paths name each program's own copy of the tree: the
  # Linux path, or Wine's Z: for it. awk ends the last line, which on Windows is the
  # usage screen's closing rule without a line end.
  normalise_console() {
    sed -e 's/\r$//' -e 's/^\(-\{80\}\)\(..*\)$/\1\n\2/' -e 's/\\/\//g' \
      -e "s|Z:$2|WORK|g; s|$2|WORK|g" -e 's/lexiform\.exe"\{0,1\}/lexiform/g' \
      -e 's/Execution time: [0-9]*[^0-9][0-9][0-9][^0-9][0-9][0-9]/Execution time: T/' "$1" |
      awk 1
  }
  windows_console_in_utf8() {
    iconv -f WINDOWS-1252 -t UTF-8 "$windows/console" >"$windows/console.utf8"
  }
  windows_console_in_utf8
  ! grep -q $'\r' "$linux/console" || fail "$label: the Linux console text holds a CR"
  if ! cmp -s <(normalise_console "$linux/console" "$linux") \
    <(normalise_console "$windows/console.utf8" "$windows"); then
    fail "$label: console text differs"
    diff <(normalise_console "$linux/console" "$linux" | cat -A) \
      <(normalise_console "$windows/console.utf8" "$windows" | cat -A) | head -20 >&2 || true
  fi

  # The configuration file the first run writes beside the program.
  if [[ -f $linux/bin/lexiform.ini || -f $windows/bin/lexiform.ini ]]; then
    cmp -s "$linux/bin/lexiform.ini" "$windows/bin/lexiform.ini" ||
      fail "$label: configuration files differ"
  fi

  # Documents: byte for byte once the lines that name files use "/" and WORK.
  normalise_document() {
    sed -E "/$path_lines/ { s/\\\\/\\//g; s|Z:$2|WORK|g; s|$2|WORK|g }" "$1"
  }
  local documents
  documents=$(cd "$linux" && find . -maxdepth 1 -name '*.htm*' | sort)
  [[ $documents == $(cd "$windows" && find . -maxdepth 1 -name '*.htm*' | sort) ]] ||
    fail "$label: the programs wrote different documents"
  local document
  for document in $documents; do
    if ! cmp -s <(normalise_document "$linux/$document" "$linux") \
      <(normalise_document "$windows/$document" "$windows"); then
      fail "$label: $document differs"
      diff <(normalise_document "$linux/$document" "$linux" | cat -A) \
        <(normalise_document "$windows/$document" "$windows" | cat -A) | head -20 >&2 || true
    fi
    grep -q '<pre>' "$linux/$document" || [[ $label == nothing ]] ||
      fail "$label: $document holds no converted text"
  done
  # Sites: every file byte for byte, names and all.
  if [[ -d $linux/site || -d $windows/site ]]; then
    diff -r "$linux/site" "$windows/site" >&2 || fail "$label: the sites differ"
    grep -rq 'id="L1"' "$linux/site" || fail "$label: the site holds no converted text"
  fi
  ((failures > failures_before)) || echo "$label: same"
}

list='src/a.pas,src/lib/b.dpr,src/empty.pas,src/missing.pas,src/lib/deep/ctrlz.pas,src/util/big.pas'
compare list "$list" doc -- "${list//\//\\}" doc
compare single src/a.pas single -- 'src\a.pas' single
compare wildcard 'src/*.pas,src/lib/*.dpr' doc.htm -- 'src\*.pas,src\lib\*.dpr' doc.htm
compare recursive 'src/*.pas' doc -sub -- 'src\*.pas' doc -sub
# A bare mask with -sub searches the current directory, named by its absolute path.
compare absolute 'a.pas,big.pas' doc -sub 2 -- 'a.pas,big.pas' doc -sub 2
compare order 'order/*.pas' doc -- 'order\*.pas' doc
compare order-sub 'order/*.pas' doc -sub -- 'order\*.pas' doc -sub
# -html5 documents are UTF-8 on both platforms and their ids hash the paths with "/".
compare html5 "$list" doc -html5 -- "${list//\//\\}" doc -html5
compare intl 'intl/*.pas' doc -html5 -- 'intl\*.pas' doc -html5
compare intl-sub 'intl/*.pas' doc -html5 -sub -- 'intl\*.pas' doc -html5 -sub
compare site 'src/*.pas,src/*.dpr' site -sub -site -- 'src\*.pas,src\*.dpr' site -sub -site
compare intl-site 'intl/*.pas' site -sub -site -- 'intl\*.pas' site -sub -site
compare nothing 'src/*.none' doc -- 'src\*.none' doc
compare usage --

if ((failures > 0)); then
  echo "compare-platforms: $failures difference(s)" >&2
  exit 1
fi
echo "compare-platforms: the Linux and the Windows program write the same"
