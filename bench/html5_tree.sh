#!/usr/bin/env bash
# Runs lexiform over the whole FPC source tree twice in turn, as the document has always
# been and with -html5 -lines, and reports how much longer the HTML5 document with
# numbered lines takes (bar: at most 1.5 x) and the peak memory of both (bar: under
# 64 MB). The runs alternate, so that both modes see the same machine.
#
#   bench/html5_tree.sh [--lexiform PATH] [--runs N] [--limit SECONDS] [--out FILE]
#
#   --lexiform PATH  our program (default: $LEXIFORM, else build/release/lexiform)
#   --runs N         runs of each mode; the fastest of each is compared (default 3)
#   --limit SECONDS  time limit of each single run (default 900)
#   --out FILE       also write the report (markdown) to FILE
#
# Environment: LEXIFORM, FPC_ROOT (default /usr/share/fpcsrc/3.2.2).
set -euo pipefail
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

StartTreeRounds "${BASH_SOURCE[0]}" "$@"

modes=(default html5)
declare -A switches=([default]="" [html5]="-html5 -lines")
declare -A outputBytes
for ((i = 1; i <= runs; i++)); do
  for mode in "${modes[@]}"; do
    Log "Run $i of $runs: lexiform \"...\" out.html -sub ${switches[$mode]}"
    # shellcheck disable=SC2086 # the switches are separate words
    measure "$limit" "${OUR_CMD[@]}" "$masks" "$WORK/out.html" -sub ${switches[$mode]} >"$WORK/$mode.log" 2>&1
    CheckOurRun "$M_RC" "$WORK/out.html" "$WORK/$mode.log" || Die "$OUR_PROBLEM"
    outputBytes[$mode]=$(stat -c %s "$WORK/out.html")
    rm -f "$WORK/out.html"
    if [[ -z "${bestSec[$mode]:-}" ]] || awk -v a="$M_SEC" -v b="${bestSec[$mode]}" 'BEGIN { exit !(a < b) }'; then
      bestSec[$mode]="$M_SEC"
    fi
    [[ "$M_RSS_KB" -gt "${maxRss[$mode]:-0}" ]] && maxRss[$mode]="$M_RSS_KB"
  done
done

Report() {
  local ratio
  ratio=$(awk -v a="${bestSec[html5]}" -v b="${bestSec[default]}" 'BEGIN { printf "%.2f", a / b }')
  echo "## -html5 -lines against the default document, FPC tree"
  echo
  echo "- Command: \`lexiform \"$masks\" out.html -sub [-html5 -lines]\`"
  echo "- Input: $fileCount files, $(FormatMB "$totalBytes") MB; $(nproc) cores, $(uname -sr); fastest of $runs alternating runs each"
  echo
  echo "| mode | seconds | MB/s | peak RSS (MiB) | document MB |"
  echo "|---|---:|---:|---:|---:|"
  for mode in "${modes[@]}"; do
    echo "| ${switches[$mode]:-default} | $(FormatSec "${bestSec[$mode]}") | $(Throughput "$totalBytes" "${bestSec[$mode]}") | $(FormatMiB "${maxRss[$mode]}") | $(FormatMB "${outputBytes[$mode]}") |"
  done
  echo
  echo "- -html5 -lines takes $ratio x the time of the default run; bar 1.5 x: $(awk -v r="$ratio" 'BEGIN { print (r <= 1.5) ? "met" : "NOT met" }')"
  echo "- peak RSS of -html5 -lines: $(FormatMiB "${maxRss[html5]}") MiB; bar under 64 MB: $(awk -v k="${maxRss[html5]}" 'BEGIN { print (k * 1024 < 64e6) ? "met" : "NOT met" }')"
}

Report >"$WORK/report.md"
cat "$WORK/report.md"
if [[ -n "$outFile" ]]; then
  cp "$WORK/report.md" "$outFile"
  Log "Report written to $outFile"
fi
