#!/usr/bin/env bash
# Peak memory of lexiform against the size of its largest input: one run over the whole
# FPC tree (many files, the largest 5.7 MB) and one run over a single file of 200 MB made
# at run time from the same sources. Peak memory should follow the largest file, not the
# total: bars are under 64 MB for the tree and under 1.2 GB for the 200 MB file.
#
#   bench/memory.sh [--lexiform PATH] [--size-mb N] [--limit SECONDS] [--out FILE]
#
#   --lexiform PATH  our program (default: $LEXIFORM, else build/release/lexiform)
#   --size-mb N      size of the single file in MB (default 200)
#   --limit SECONDS  time limit of each run (default 900)
#   --out FILE       also write the report (markdown) to FILE
#
# Environment: LEXIFORM, FPC_ROOT (default /usr/share/fpcsrc/3.2.2).
set -euo pipefail
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

lexiformPath=""
sizeMB=200
limit=900
outFile=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --lexiform) lexiformPath="${2:?--lexiform needs a path}"; shift 2 ;;
    --size-mb) sizeMB="${2:?--size-mb needs a number}"; shift 2 ;;
    --limit) limit="${2:?--limit needs seconds}"; shift 2 ;;
    --out) outFile="${2:?--out needs a file name}"; shift 2 ;;
    -h | --help) ShowHelp "${BASH_SOURCE[0]}"; exit 0 ;;
    *) Die "unknown argument '$1' (see --help)" ;;
  esac
done
[[ "$sizeMB" =~ ^[1-9][0-9]*$ ]] || Die "--size-mb takes a positive number"
[[ -d "$FPC_ROOT" ]] || Die "FPC tree not found at $FPC_ROOT (Debian package fpc-source, or set FPC_ROOT)"

MakeWorkDir
EnsureTimeTool
PrepareOurProgram "$lexiformPath"

ListPascalFiles "$FPC_ROOT" "$WORK/all.txt"
treeCount=$(ListCount "$WORK/all.txt")
treeBytes=$(ListBytes "$WORK/all.txt")
read -r largestBytes largestFile < <(xargs -d '\n' -a "$WORK/all.txt" stat -c '%s %n' | sort -n | tail -n 1)

# The whole tree concatenated in path order, repeated if it is too short, cut at the size.
hugeBytes=$((sizeMB * 1000000))
repeats=$(((hugeBytes + treeBytes - 1) / treeBytes))
mkdir -p "$WORK/in"
for ((i = 0; i < repeats; i++)); do xargs -d '\n' -a "$WORK/all.txt" cat; done 2>/dev/null |
  head -c "$hugeBytes" >"$WORK/in/huge.pas" || true
[[ $(stat -c %s "$WORK/in/huge.pas") == "$hugeBytes" ]] || Die "could not make the $sizeMB MB input"

masks=""
for ext in "${PASCAL_EXTS[@]}"; do
  masks+="${masks:+,}$FPC_ROOT/*.$ext"
done

rows=()
# Row LABEL INPUT-BYTES LARGEST-BYTES BAR-BYTES INPUT [OPTION...]: one measured run of our
# program over INPUT.
Row() {
  local label="$1" inputBytes="$2" largest="$3" bar="$4" input="$5"
  shift 5
  measure "$limit" "${OUR_CMD[@]}" "$input" "$WORK/out.html" "$@" >"$WORK/run.log" 2>&1
  if CheckOurRun "$M_RC" "$WORK/out.html" "$WORK/run.log"; then
    rows+=("$(awk -v l="$label" -v i="$inputBytes" -v g="$largest" -v b="$bar" -v s="$M_SEC" -v k="$M_RSS_KB" 'BEGIN {
      rss = k * 1024
      printf "| %s | %.1f | %.1f | %.2f | %.1f | %.1f | %.1f | under %.0f MB: %s |", l, i / 1e6, g / 1e6, s,
        i / 1e6 / s, k / 1024, rss / g, b / 1e6, (rss < b ? "met" : "NOT met")
    }')")
  else
    rows+=("| $label | $(FormatMB "$inputBytes") | $(FormatMB "$largest") | - | - | - | - | $OUR_PROBLEM |")
  fi
  rm -f "$WORK/out.html"
}

if [[ ${#OUR_CMD[@]} -gt 0 ]]; then
  WarmCache "$WORK/all.txt"
  Log "lexiform over the tree: lexiform \"$masks\" out.html -sub"
  Row "FPC tree, $treeCount files, -sub" "$treeBytes" "$largestBytes" 64000000 "$masks" -sub
  Log "lexiform over one file of $sizeMB MB ..."
  cat "$WORK/in/huge.pas" >/dev/null
  Row "one file of $sizeMB MB" "$hugeBytes" "$hugeBytes" 1200000000 "$WORK/in/huge.pas"
fi

Report() {
  echo "## lexiform peak memory"
  echo
  echo "| input | input MB | largest file MB | seconds | MB/s | peak RSS (MiB) | RSS / largest file | bar |"
  echo "|---|---:|---:|---:|---:|---:|---:|---|"
  if [[ ${#rows[@]} -gt 0 ]]; then
    printf '%s\n' "${rows[@]}"
  else
    echo "| (not measured: $OUR_PROBLEM) | | | | | | | |"
  fi
  echo
  echo "Peak RSS: maximum resident set size from /usr/bin/time; MB = 10^6 bytes, MiB = 2^20 bytes."
  echo "Tree: \`lexiform \"$masks\" out.html -sub\`; largest file ${largestFile#"$FPC_ROOT"/}."
  echo "Single file: \`lexiform huge.pas out.html\`, huge.pas = the tree's files concatenated in path order, cut at $hugeBytes bytes."
}

Report >"$WORK/report.md"
cat "$WORK/report.md"
if [[ -n "$outFile" ]]; then
  cp "$WORK/report.md" "$outFile"
  Log "Report written to $outFile"
fi
