#!/usr/bin/env bash
# One source that is a single long line, at growing sizes, in every mode of the document:
# the time and the peak memory per MB must stay about the same as the line grows (the
# work is linear in it). The line is "a := b < c; " repeated: every "<" becomes an entity,
# so the fixed line reaches the writer in many pieces.
#
#   bench/long_line.sh [--lexiform PATH] [--sizes "7 14 28"] [--limit SECONDS] [--out FILE]
#
#   --lexiform PATH  our program (default: $LEXIFORM, else build/release/lexiform)
#   --sizes LIST     the sizes of the line in MB (default "7 14 28")
#   --limit SECONDS  time limit of each run (default 300)
#   --out FILE       also write the report (markdown) to FILE
#
# Environment: LEXIFORM.
set -euo pipefail
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

lexiformPath=""
sizes="7 14 28"
limit=300
outFile=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --lexiform) lexiformPath="${2:?--lexiform needs a path}"; shift 2 ;;
    --sizes) sizes="${2:?--sizes needs a list}"; shift 2 ;;
    --limit) limit="${2:?--limit needs seconds}"; shift 2 ;;
    --out) outFile="${2:?--out needs a file name}"; shift 2 ;;
    -h | --help) ShowHelp "${BASH_SOURCE[0]}"; exit 0 ;;
    *) Die "unknown argument '$1' (see --help)" ;;
  esac
done
for size in $sizes; do
  [[ "$size" =~ ^[1-9][0-9]*$ ]] || Die "--sizes takes positive numbers"
done

MakeWorkDir
EnsureTimeTool
PrepareOurProgram "$lexiformPath"
[[ ${#OUR_CMD[@]} -gt 0 ]] || Die "$OUR_PROBLEM"

modes=(default lines html5 html5-lines)
declare -A switches=([default]="" [lines]="-lines" [html5]="-html5" [html5-lines]="-html5 -lines")
rows=()
for size in $sizes; do
  bytes=$((size * 1000000))
  yes 'a := b < c; ' | tr -d '\n' | head -c "$bytes" >"$WORK/line.pas" || true
  [[ $(stat -c %s "$WORK/line.pas") == "$bytes" ]] || Die "could not make the $size MB line"
  for mode in "${modes[@]}"; do
    Log "$size MB: lexiform line.pas out.html ${switches[$mode]}"
    # shellcheck disable=SC2086 # the switches are separate words
    measure "$limit" "${OUR_CMD[@]}" "$WORK/line.pas" "$WORK/out.html" ${switches[$mode]} >"$WORK/run.log" 2>&1
    if CheckOurRun "$M_RC" "$WORK/out.html" "$WORK/run.log"; then
      rows+=("$(awk -v s="$size" -v m="${switches[$mode]:-default}" -v t="$M_SEC" -v k="$M_RSS_KB" 'BEGIN {
        printf "| %d | %s | %.2f | %.3f | %.1f | %.1f |", s, m, t, t / s, k / 1024, k / 1024 / s
      }')")
    else
      rows+=("| $size | ${switches[$mode]:-default} | - | - | - | $OUR_PROBLEM |")
    fi
    rm -f "$WORK/out.html"
  done
done

Report() {
  echo "## lexiform on one long line"
  echo
  echo "- Command: \`lexiform line.pas out.html [switches]\`, line.pas = \"a := b < c; \" repeated, no line end"
  echo "- $(nproc) cores, $(uname -sr); one run each"
  echo
  echo "| MB | switches | seconds | seconds per MB | peak RSS (MiB) | MiB per MB |"
  echo "|---:|---|---:|---:|---:|---:|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "Linear work keeps the seconds and MiB per MB of each mode about the same at every size."
}

Report >"$WORK/report.md"
cat "$WORK/report.md"
if [[ -n "$outFile" ]]; then
  cp "$WORK/report.md" "$outFile"
  Log "Report written to $outFile"
fi
