#!/usr/bin/env bash
# Writes the whole FPC source tree as a code site (-sub -site) and reports its time and
# peak memory against two measures taken in the same sitting, best of --runs rounds:
# the floor (reading every source once, then copying the finished site with cp -r on
# the same file system) and the single -html5 -lines document of the same tree. Bars:
# at most 1.3 x the floor, at most 1.3 x the -html5 -lines document, peak memory under
# 128 MB. Each round runs the three in turn, so that all see the same machine.
#
#   bench/site_tree.sh [--lexiform PATH] [--runs N] [--limit SECONDS] [--out FILE]
#
#   --lexiform PATH  our program (default: $LEXIFORM, else build/release/lexiform)
#   --runs N         rounds; the fastest run of each kind is compared (default 3)
#   --limit SECONDS  time limit of each single run (default 900)
#   --out FILE       also write the report (markdown) to FILE
#
# Environment: LEXIFORM, FPC_ROOT (default /usr/share/fpcsrc/3.2.2).
set -euo pipefail
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

StartTreeRounds "${BASH_SOURCE[0]}" "$@"

for ((i = 1; i <= runs; i++)); do
  Log "Round $i of $runs: lexiform \"...\" site -sub -site"
  # Every round writes into folders of its own, all removed at the end: on a file
  # system without a journal, ext4 skips the inodes freed in the last minutes one by one
  # when it creates a file, so a round that followed the removal of the last one's
  # 18,000 files would time that removal's after-effects, not the program.
  site="$WORK/site$i"
  measure "$limit" "${OUR_CMD[@]}" "$masks" "$site" -sub -site >"$WORK/site.log" 2>&1
  CheckOurRun "$M_RC" "$site/index.html" "$WORK/site.log" || Die "$OUR_PROBLEM"
  KeepBest site
  processed=$(ProcessedCount "$WORK/site.log")
  pageCount=$(find "$site" -type f -name '*.html' | wc -l)
  siteBytes=$(du -sb "$site" | cut -f1)

  # The floor of this job on this machine: no program that reads these sources and
  # writes this site can take less than reading them and copying the site.
  Log "Round $i of $runs: the floor (cat every source, cp -r the site: $(FormatMB "$siteBytes") MB)"
  measure "$limit" bash -c 'xargs -d "\n" -a "$1" cat >/dev/null && cp -r "$2" "$3"' \
    floor "$WORK/all.txt" "$site" "$WORK/copy$i" >"$WORK/floor.log" 2>&1
  [[ "$M_RC" == 0 ]] || Die "the floor's copy failed: $(tail -n 3 "$WORK/floor.log")"
  KeepBest floor

  Log "Round $i of $runs: lexiform \"...\" out.html -sub -html5 -lines"
  measure "$limit" "${OUR_CMD[@]}" "$masks" "$WORK/out.html" -sub -html5 -lines >"$WORK/html5.log" 2>&1
  CheckOurRun "$M_RC" "$WORK/out.html" "$WORK/html5.log" || Die "$OUR_PROBLEM"
  KeepBest html5
  documentBytes=$(stat -c %s "$WORK/out.html")
  rm -f "$WORK/out.html"
done

Ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
Bar() { awk -v r="$1" -v bar="$2" 'BEGIN { print (r <= bar) ? "met" : "NOT met" }'; }

Report() {
  local toFloor toHtml5
  toFloor=$(Ratio "${bestSec[site]}" "${bestSec[floor]}")
  toHtml5=$(Ratio "${bestSec[site]}" "${bestSec[html5]}")
  echo "## The FPC tree as a code site"
  echo
  echo "- Command: \`lexiform \"$masks\" site -sub -site\`"
  echo "- Input: $fileCount files, $(FormatMB "$totalBytes") MB; $(nproc) cores, $(uname -sr); fastest of $runs rounds each"
  echo "- Site: $pageCount pages, $(FormatMB "$siteBytes") MB in all; the program reported $processed processed files"
  echo
  echo "| run | seconds | MB/s | peak RSS (MiB) | written MB |"
  echo "|---|---:|---:|---:|---:|"
  echo "| -sub -site | $(FormatSec "${bestSec[site]}") | $(Throughput "$totalBytes" "${bestSec[site]}") | $(FormatMiB "${maxRss[site]}") | $(FormatMB "$siteBytes") |"
  echo "| floor: cat every source, cp -r the site | $(FormatSec "${bestSec[floor]}") | $(Throughput "$totalBytes" "${bestSec[floor]}") | $(FormatMiB "${maxRss[floor]}") | $(FormatMB "$siteBytes") |"
  echo "| -sub -html5 -lines, one document | $(FormatSec "${bestSec[html5]}") | $(Throughput "$totalBytes" "${bestSec[html5]}") | $(FormatMiB "${maxRss[html5]}") | $(FormatMB "$documentBytes") |"
  echo
  echo "- the site takes $toFloor x the floor; bar 1.3 x: $(Bar "$toFloor" 1.3)"
  echo "- the site takes $toHtml5 x the -html5 -lines document; bar 1.3 x: $(Bar "$toHtml5" 1.3)"
  echo "- peak RSS of the site: $(FormatMiB "${maxRss[site]}") MiB; bar under 128 MB (128,000,000 bytes): $(awk -v k="${maxRss[site]}" 'BEGIN { print (k * 1024 < 128e6) ? "met" : "NOT met" }')"
}

Report >"$WORK/report.md"
cat "$WORK/report.md"
if [[ -n "$outFile" ]]; then
  cp "$WORK/report.md" "$outFile"
  Log "Report written to $outFile"
fi
