#!/usr/bin/env bash
# Runs lexiform over the whole FPC source tree in one run (-sub with one mask per Pascal
# extension) and reports seconds, MB/s, peak memory and the largest single input file,
# and its time as a multiple of the floor (reading the sources, writing the document);
# then runs Pygments over the same files (or an evenly spread sample of them) in its
# fastest mode for a side-by-side ratio.
#
#   bench/fpc_tree.sh [--lexiform PATH] [--sample N|all] [--runs N] [--no-pygments]
#                     [--limit SECONDS] [--out FILE]
#
#   --lexiform PATH  our program (default: $LEXIFORM, else build/release/lexiform)
#   --sample N|all   Pygments converts N files spread evenly over the sorted list and its
#                    whole-tree time is extrapolated from its MB/s (default 1000, about
#                    26 MB, well under a minute); "all" converts every file (minutes)
#   --runs N         runs of lexiform; the fastest is reported (default 3)
#   --no-pygments    measure lexiform only
#   --limit SECONDS  time limit of each single run (default 900)
#   --out FILE       also write the report (markdown) to FILE
#
# Environment: LEXIFORM, FPC_ROOT (default /usr/share/fpcsrc/3.2.2), PYTHON.
set -euo pipefail
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

lexiformPath=""
sample=1000
runs=3
withPygments=1
limit=900
outFile=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --lexiform) lexiformPath="${2:?--lexiform needs a path}"; shift 2 ;;
    --sample) sample="${2:?--sample needs a number or all}"; shift 2 ;;
    --runs) runs="${2:?--runs needs a number}"; shift 2 ;;
    --no-pygments) withPygments=0; shift ;;
    --limit) limit="${2:?--limit needs seconds}"; shift 2 ;;
    --out) outFile="${2:?--out needs a file name}"; shift 2 ;;
    -h | --help) ShowHelp "${BASH_SOURCE[0]}"; exit 0 ;;
    *) Die "unknown argument '$1' (see --help)" ;;
  esac
done
[[ "$sample" == all || "$sample" =~ ^[1-9][0-9]*$ ]] || Die "--sample takes a positive number or all"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || Die "--runs takes a positive number"
[[ -d "$FPC_ROOT" ]] || Die "FPC tree not found at $FPC_ROOT (Debian package fpc-source, or set FPC_ROOT)"

MakeWorkDir
EnsureTimeTool
PrepareOurProgram "$lexiformPath"

ListPascalFiles "$FPC_ROOT" "$WORK/all.txt"
fileCount=$(ListCount "$WORK/all.txt")
totalBytes=$(ListBytes "$WORK/all.txt")
read -r largestBytes largestFile < <(xargs -d '\n' -a "$WORK/all.txt" stat -c '%s %n' | sort -n | tail -n 1)
Log "Input: $fileCount files, $(FormatMB "$totalBytes") MB under $FPC_ROOT; reading them once to warm the page cache ..."
WarmCache "$WORK/all.txt"

masks=""
for ext in "${PASCAL_EXTS[@]}"; do
  masks+="${masks:+,}$FPC_ROOT/*.$ext"
done
ourCommandText="lexiform \"$masks\" out.html -sub"

ourSec=""
if [[ ${#OUR_CMD[@]} -gt 0 ]]; then
  Log "Running lexiform over the tree, best of $runs: $ourCommandText"
  measure_best "$runs" "$limit" "${OUR_CMD[@]}" "$masks" "$WORK/out.html" -sub >"$WORK/lexiform.log" 2>&1
  if CheckOurRun "$M_RC" "$WORK/out.html" "$WORK/lexiform.log"; then
    ourSec="$M_SEC"
    ourRss="$M_RSS_KB"
    ourProcessed=$(ProcessedCount "$WORK/lexiform.log")
    ourOutputBytes=$(stat -c %s "$WORK/out.html")
    if [[ "$ourProcessed" != "$fileCount" ]]; then
      Log "WARNING: lexiform reports $ourProcessed processed files, the tree has $fileCount"
    fi
  fi
  rm -f "$WORK/out.html"
fi

# The floor of this job on this machine, measured in the same sitting: reading every
# source once (from the page cache, as lexiform does after the warm-up) and writing a
# file of the document's size. No program that reads these sources and writes this
# document can take less.
floorSec=""
if [[ -n "$ourSec" ]]; then
  Log "Measuring the floor, best of $runs: cat every source, write $(FormatMB "$ourOutputBytes") MB"
  measure_best "$runs" "$limit" bash -c 'xargs -d "\n" -a "$1" cat >/dev/null && dd if=/dev/zero of="$3" bs=1M count="$2" iflag=count_bytes status=none' \
    floor "$WORK/all.txt" "$ourOutputBytes" "$WORK/floor.out" >"$WORK/floor.log" 2>&1
  [[ "$M_RC" == 0 ]] && floorSec="$M_SEC"
  rm -f "$WORK/floor.out"
fi

pygSec=""
if [[ $withPygments == 1 ]]; then
  if FindPygments; then
    pygVersion=$("$PYGMENTS_PYTHON" -c 'import pygments; print(pygments.__version__)')
    if [[ "$sample" == all ]]; then
      cp "$WORK/all.txt" "$WORK/sample.txt"
    else
      SpreadSample "$WORK/all.txt" "$sample" "$WORK/sample.txt"
    fi
    pygCount=$(ListCount "$WORK/sample.txt")
    pygBytes=$(ListBytes "$WORK/sample.txt")
    Log "Running Pygments $pygVersion (one process looping over $pygCount files, $(FormatMB "$pygBytes") MB) ..."
    measure "$limit" "$PYGMENTS_PYTHON" -c "$PYGMENTS_BATCH" "$WORK/sample.txt" "$WORK/pygments.html" \
      >"$WORK/pygments.log" 2>&1
    if [[ "$M_RC" == 0 ]]; then
      pygSec="$M_SEC"
      pygRss="$M_RSS_KB"
    else
      Log "NOTE: Pygments failed (exit status $M_RC):"
      tail -n 5 "$WORK/pygments.log" | sed 's/^/    | /' >&2
    fi
    rm -f "$WORK/pygments.html"
  else
    Log "NOTE: Pygments is not available and could not be installed; skipped."
  fi
fi

Report() {
  echo "## lexiform over the FPC tree"
  echo
  echo "- Command: \`$ourCommandText\` (masks under $FPC_ROOT)"
  echo "- Input: $fileCount files, $(FormatMB "$totalBytes") MB ($totalBytes bytes); largest single file $(FormatMB "$largestBytes") MB ($largestBytes bytes, ${largestFile#"$FPC_ROOT"/})"
  echo "- Machine: $(nproc) cores, $(uname -sr); MB = 10^6 bytes, peak RSS from /usr/bin/time in MiB"
  echo
  echo "| tool | files | input MB | seconds | MB/s | peak RSS (MiB) |"
  echo "|---|---:|---:|---:|---:|---:|"
  if [[ -n "$ourSec" ]]; then
    echo "| lexiform (fastest of $runs run$([[ $runs == 1 ]] || echo s)) | $fileCount | $(FormatMB "$totalBytes") | $(FormatSec "$ourSec") | $(Throughput "$totalBytes" "$ourSec") | $(FormatMiB "$ourRss") |"
  else
    echo "| lexiform | $fileCount | $(FormatMB "$totalBytes") | - | - | - |"
  fi
  if [[ -n "$pygSec" ]]; then
    local rate
    rate=$(Throughput "$pygBytes" "$pygSec")
    echo "| Pygments $pygVersion, one process looping (delphi lexer, HTML formatter) | $pygCount | $(FormatMB "$pygBytes") | $(FormatSec "$pygSec") | $rate | $(FormatMiB "$pygRss") |"
    if [[ "$pygCount" != "$fileCount" ]]; then
      echo "| Pygments, whole tree extrapolated from its MB/s | $fileCount | $(FormatMB "$totalBytes") | $(awk -v b="$totalBytes" -v r="$rate" 'BEGIN { printf "%.1f", b / 1e6 / r }') | $rate | - |"
    fi
  fi
  echo
  if [[ -n "$ourSec" ]]; then
    local ourRate rssBytes
    ourRate=$(Throughput "$totalBytes" "$ourSec")
    rssBytes=$((ourRss * 1024))
    echo "- lexiform: $ourRate MB/s; bar 100 MB/s: $(awk -v r="$ourRate" 'BEGIN { print (r >= 100) ? "met" : "NOT met" }')"
    echo "- lexiform peak RSS: $(FormatMiB "$ourRss") MiB = $(awk -v a="$rssBytes" -v b="$largestBytes" 'BEGIN { printf "%.1f", a / b }') x the largest file; bar under 64 MB (64,000,000 bytes): $(awk -v b="$rssBytes" 'BEGIN { print (b < 64e6) ? "met" : "NOT met" }')"
    echo "- lexiform wrote $(FormatMB "$ourOutputBytes") MB of HTML and reported $ourProcessed processed files"
    if [[ -n "$floorSec" ]]; then
      echo "- floor (cat every source once, write $(FormatMB "$ourOutputBytes") MB): $(FormatSec "$floorSec") s; lexiform takes $(awk -v a="$ourSec" -v b="$floorSec" 'BEGIN { printf "%.2f", a / b }') x the floor (bar 1.2 x)"
    fi
    if [[ -n "$pygSec" ]]; then
      echo "- Throughput ratio lexiform / Pygments: $(awk -v a="$ourRate" -v b="$(Throughput "$pygBytes" "$pygSec")" 'BEGIN { printf "%.1f", a / b }')x"
    fi
  else
    echo "- lexiform not measured: ${OUR_PROBLEM:-not run}"
  fi
}

Report >"$WORK/report.md"
cat "$WORK/report.md"
if [[ -n "$outFile" ]]; then
  cp "$WORK/report.md" "$outFile"
  Log "Report written to $outFile"
fi
