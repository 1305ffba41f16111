# shellcheck shell=bash disable=SC2034  # sourced: the variables are used by the scripts
# Shared pieces of the benchmark scripts in bench/; sourced, not run.
#
# Units everywhere: MB = 1,000,000 bytes (throughput MB/s likewise); peak memory is
# the maximum resident set size from /usr/bin/time, shown in MiB (1,048,576 bytes).

BENCH_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO_DIR="$(cd "$BENCH_DIR/.." && pwd)"
FPC_ROOT="${FPC_ROOT:-/usr/share/fpcsrc/3.2.2}"
# The Pascal extensions that occur in the FPC tree (.fpc files there are make rules).
PASCAL_EXTS=(pp pas inc)
BENCH_CACHE="${LEXIFORM_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lexiform-bench}"
HLJS_VERSION="${HLJS_VERSION:-11.12.0}"

Log() { printf '%s\n' "$*" >&2; }
Die() { Log "error: $*"; exit 2; }

# Makes WORK, a private scratch directory removed when the script ends however it ends.
MakeWorkDir() {
  WORK="$(mktemp -d "${TMPDIR:-/tmp}/lexiform-bench.XXXXXX")"
  trap 'rm -rf "$WORK"' EXIT
  WORK="$(cd "$WORK" && pwd)" # absolute: tools run from other directories
  trap 'exit 130' INT TERM
}

AptInstall() {
  local sudo=""
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null 2>&1 || return 1
    sudo="sudo -n"
  fi
  command -v apt-get >/dev/null 2>&1 || return 1
  if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null 2>&1; then
    $sudo apt-get update -qq >/dev/null 2>&1 || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null 2>&1 || return 1
  fi
}

EnsureTimeTool() {
  [[ -x /usr/bin/time ]] && return 0
  Log "Installing the Debian package 'time' for /usr/bin/time ..."
  AptInstall time || Die "/usr/bin/time is missing and could not be installed"
}

# Sets OUR_CMD to the command that runs a private copy of our program, or OUR_CMD=() and
# OUR_PROBLEM to the reason. The copy sits in WORK so the configuration file it writes
# beside itself is the built-in default and never touches the build tree. Its temporary
# files go to WORK/tmp: the program uses fixed temporary names, so runs of other people on
# this machine must not share a temporary directory with ours.
PrepareOurProgram() {
  local source="${1:-${LEXIFORM:-$REPO_DIR/build/release/lexiform}}"
  OUR_CMD=()
  OUR_PROBLEM=""
  OUR_SOURCE="$source"
  if [[ ! -f "$source" || ! -x "$source" ]]; then
    OUR_PROBLEM="lexiform binary not found at $source (build it with 'cmake --workflow --preset release', or set LEXIFORM=/path/to/lexiform)"
    Log "NOTE: $OUR_PROBLEM; its rows stay empty."
    return 0
  fi
  mkdir -p "$WORK/bin" "$WORK/tmp"
  cp "$source" "$WORK/bin/lexiform"
  OUR_CMD=(env TMPDIR="$WORK/tmp" TMP="$WORK/tmp" TEMP="$WORK/tmp" "$WORK/bin/lexiform")
}

# Checks one finished run of our program: exit status, document present. On failure sets
# OUR_PROBLEM and prints the end of the program's console output.
CheckOurRun() {
  local rc="$1" document="$2" log="$3"
  if [[ "$rc" != 0 ]]; then
    if [[ "$rc" == 124 || "$rc" == 137 ]]; then
      OUR_PROBLEM="lexiform did not finish within the time limit"
    else
      OUR_PROBLEM="lexiform failed with exit status $rc"
    fi
  elif [[ ! -s "$document" ]]; then
    OUR_PROBLEM="lexiform exited 0 but wrote no document at $document"
  else
    return 0
  fi
  Log "NOTE: $OUR_PROBLEM; its last console lines:"
  tail -n 8 "$log" | tr -d '\r' | sed 's/^/    | /' >&2
  return 1
}

# The number after "Processed files: " in our program's console output, or "?".
ProcessedCount() {
  local count
  count="$(tr -d '\r' <"$1" | sed -n 's/.*Processed files: *\([0-9][0-9]*\).*/\1/p' | tail -n 1)"
  printf '%s' "${count:-?}"
}

# Writes the absolute paths of all Pascal files under $1, in byte order, one a line.
ListPascalFiles() {
  local root="$1" out="$2" args=() ext
  for ext in "${PASCAL_EXTS[@]}"; do
    [[ ${#args[@]} -gt 0 ]] && args+=(-o)
    args+=(-name "*.$ext")
  done
  find "$root" -type f \( "${args[@]}" \) -print | LC_ALL=C sort >"$out"
  [[ -s "$out" ]] || Die "no Pascal files under $root"
}

# Writes count lines of the list spread evenly over it: line floor(k * total / count) + 1.
SpreadSample() {
  local list="$1" count="$2" out="$3"
  awk -v want="$count" '{ line[NR] = $0 }
    END {
      if (want <= 0 || want >= NR) { for (i = 1; i <= NR; i++) print line[i]; exit }
      for (k = 0; k < want; k++) print line[int(k * NR / want) + 1]
    }' "$list" >"$out"
}

ListBytes() { xargs -d '\n' -a "$1" stat -c %s | awk '{ s += $1 } END { printf "%d", s }'; }
ListCount() { wc -l <"$1" | tr -d ' '; }

# Reads every file of the list once so that timed runs see a warm page cache.
WarmCache() { xargs -d '\n' -a "$1" cat >/dev/null; }

# measure LIMIT_SECONDS COMMAND...: runs the command once under /usr/bin/time and a time
# limit; sets M_SEC (wall seconds, from nanosecond clock readings), M_RSS_KB (peak resident
# set size of the command and of every process it waited for), M_USER and M_SYSTEM (its
# CPU seconds in the program and in the kernel) and M_RC (exit status; 124 or 137 when the
# limit ended it).
measure() {
  local limit="$1"
  shift
  local timeFile="$WORK/.time-$$" t0 t1
  t0=$(date +%s%N)
  /usr/bin/time -f '%M %x %U %S' -o "$timeFile" timeout --kill-after=5 "$limit" "$@" || true
  t1=$(date +%s%N)
  read -r M_RSS_KB M_RC M_USER M_SYSTEM < <(tail -n 1 "$timeFile")
  M_SEC=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
}

# measure_best RUNS LIMIT COMMAND...: the fastest of RUNS runs (M_RSS_KB the largest seen);
# stops at the first run that fails.
measure_best() {
  local runs="$1" limit="$2" bestSec="" maxRss=0 i
  shift 2
  for ((i = 0; i < runs; i++)); do
    measure "$limit" "$@"
    [[ "$M_RSS_KB" -gt "$maxRss" ]] && maxRss="$M_RSS_KB"
    if [[ -z "$bestSec" ]] || awk -v a="$M_SEC" -v b="$bestSec" 'BEGIN { exit !(a < b) }'; then
      bestSec="$M_SEC"
    fi
    [[ "$M_RC" != 0 ]] && break
  done
  M_SEC="$bestSec"
  M_RSS_KB="$maxRss"
}

FormatSec() { awk -v s="$1" 'BEGIN { printf "%.2f", s }'; }
FormatMB() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }
FormatMiB() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
Throughput() { awk -v b="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.2f", b / 1e6 / s; else print "inf" }'; }

# Finds a Python that imports Pygments: PYTHON, python3 on PATH, the system one, else
# installs Debian's python3-pygments. Sets PYGMENTS_PYTHON or leaves it empty.
FindPygments() {
  PYGMENTS_PYTHON=""
  local candidate
  for candidate in "${PYTHON:-}" python3 /usr/bin/python3; do
    [[ -n "$candidate" ]] || continue
    # sys.executable: the interpreter itself, not a version manager's wrapper script.
    if PYGMENTS_PYTHON="$("$candidate" -c 'import pygments.lexers.pascal, sys; print(sys.executable)' 2>/dev/null)" &&
      [[ -n "$PYGMENTS_PYTHON" ]]; then
      return 0
    fi
  done
  Log "Installing Debian's python3-pygments ..."
  if AptInstall python3-pygments && /usr/bin/python3 -c 'import pygments' 2>/dev/null; then
    PYGMENTS_PYTHON=/usr/bin/python3
    return 0
  fi
  return 1
}

# Pygments' fastest mode: one Python process, one lexer and formatter, looping over the
# files of a list (argument 1) and writing all fragments into one output file (argument 2).
# Bytes are read as Latin-1, so every byte is one character, as in our program.
PYGMENTS_BATCH='
import sys
from pygments import highlight
from pygments.lexers import get_lexer_by_name
from pygments.formatters import HtmlFormatter
lexer = get_lexer_by_name("delphi")
formatter = HtmlFormatter()
with open(sys.argv[1], encoding="utf-8", errors="surrogateescape") as names, \
     open(sys.argv[2], "w", encoding="latin-1") as out:
    for name in names:
        with open(name.rstrip("\n"), "rb") as source:
            code = source.read().decode("latin-1")
        out.write(highlight(code, lexer, formatter))
'

# The command-line tool of the Pygments that PYGMENTS_PYTHON imports.
PygmentizeCommand() {
  local beside
  beside="$(dirname "$PYGMENTS_PYTHON")/pygmentize"
  if [[ -x "$beside" ]]; then
    printf '%s' "$beside"
  else
    command -v pygmentize || true
  fi
}

# Prints the comment block at the top of a script (its usage), without the lint lines.
ShowHelp() { awk 'NR == 1 { next } !/^#/ { exit } /shellcheck/ { next } { sub(/^# ?/, ""); print }' "$1"; }

# The start of a benchmark in rounds over the whole FPC tree, shared by the tree
# benchmarks: reads their options (--lexiform, --runs, --limit, --out, --help; the
# script's own path first, for its help), prepares our program (OUR_CMD) and the work
# folder, lists and warms the sources, and sets runs, limit, outFile, fileCount,
# totalBytes and masks (the list of every Pascal file of the tree, as one argument).
StartTreeRounds() {
  local script="$1" lexiformPath=""
  shift
  runs=3
  limit=900
  outFile=""
  while [[ $# -gt 0 ]]; do
    case "$1" in
      --lexiform) lexiformPath="${2:?--lexiform needs a path}"; shift 2 ;;
      --runs) runs="${2:?--runs needs a number}"; shift 2 ;;
      --limit) limit="${2:?--limit needs seconds}"; shift 2 ;;
      --out) outFile="${2:?--out needs a file name}"; shift 2 ;;
      -h | --help) ShowHelp "$script"; exit 0 ;;
      *) Die "unknown argument '$1' (see --help)" ;;
    esac
  done
  [[ "$runs" =~ ^[1-9][0-9]*$ ]] || Die "--runs takes a positive number"
  [[ -d "$FPC_ROOT" ]] || Die "FPC tree not found at $FPC_ROOT (Debian package fpc-source, or set FPC_ROOT)"

  MakeWorkDir
  EnsureTimeTool
  PrepareOurProgram "$lexiformPath"
  [[ ${#OUR_CMD[@]} -gt 0 ]] || Die "$OUR_PROBLEM"

  ListPascalFiles "$FPC_ROOT" "$WORK/all.txt"
  fileCount=$(ListCount "$WORK/all.txt")
  totalBytes=$(ListBytes "$WORK/all.txt")
  Log "Input: $fileCount files, $(FormatMB "$totalBytes") MB under $FPC_ROOT; reading them once to warm the page cache ..."
  WarmCache "$WORK/all.txt"

  masks=""
  local ext
  for ext in "${PASCAL_EXTS[@]}"; do
    masks+="${masks:+,}$FPC_ROOT/*.$ext"
  done
}

# Keeps the fastest time of a kind (argument 1) with that run's CPU seconds, and the
# kind's largest peak memory, from the last measure, in bestSec, bestUser, bestSystem and
# maxRss.
declare -A bestSec bestUser bestSystem maxRss
KeepBest() {
  if [[ -z "${bestSec[$1]:-}" ]] || awk -v a="$M_SEC" -v b="${bestSec[$1]}" 'BEGIN { exit !(a < b) }'; then
    bestSec[$1]="$M_SEC"
    bestUser[$1]="$M_USER"
    bestSystem[$1]="$M_SYSTEM"
  fi
  [[ "$M_RSS_KB" -gt "${maxRss[$1]:-0}" ]] && maxRss[$1]="$M_RSS_KB"
  return 0
}
