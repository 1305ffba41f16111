#!/usr/bin/env bash
# Writes the whole FPC source tree as a cross-referenced code site (-sub -site) and
# reports what the cross-references cost, against measures taken in the same sitting,
# best of --runs rounds: the floor (reading every source once, then copying the
# finished site with cp -r on the same file system) and the single -html5 -lines
# document of the same tree. Bars: the site within 2 x the floor, peak memory under
# 512 MB, its pages (*.html) at most 1.5 x the bytes of the -html5 -lines document and
# the whole site with its reference data at most 2.5 x. Each round's site and copy stay
# until the end: about 3.7 GB of free disk a round.
#
#   bench/xref_site.sh [--lexiform PATH] [--runs N] [--limit SECONDS] [--out FILE]
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

# Each round keeps its site and the copy of it until the benchmark ends: for minutes
# after large deletions the file system creates files far more slowly, and deleting
# them between rounds measured its recovery instead of the program and the floor.
for ((i = 1; i <= runs; i++)); do
  site="$WORK/site$i"
  Log "Round $i of $runs: lexiform \"...\" site -sub -site"
  measure "$limit" "${OUR_CMD[@]}" "$masks" "$site" -sub -site >"$WORK/site.log" 2>&1
  CheckOurRun "$M_RC" "$site/index.html" "$WORK/site.log" || Die "$OUR_PROBLEM"
  KeepBest site
  processed=$(ProcessedCount "$WORK/site.log")
  pageCount=$(find "$site" -type f -name '*.html' | wc -l)
  pageBytes=$(find "$site" -type f -name '*.html' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  siteBytes=$(find "$site" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  dataFiles=$(find "$site" -type f -name '*.js' | wc -l)

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

# A row of the report: the fastest run of kind $2, which wrote $3 bytes. The system
# seconds show the file system's share: creating files costs far more for some minutes
# after large deletions, such as an earlier benchmark's.
Row() {
  echo "| $1 | $(FormatSec "${bestSec[$2]}") | ${bestUser[$2]} | ${bestSystem[$2]} | $(Throughput "$totalBytes" "${bestSec[$2]}") | $(FormatMiB "${maxRss[$2]}") | $(FormatMB "$3") |"
}

Report() {
  local toFloor pagesToDocument siteToDocument
  toFloor=$(Ratio "${bestSec[site]}" "${bestSec[floor]}")
  pagesToDocument=$(Ratio "$pageBytes" "$documentBytes")
  siteToDocument=$(Ratio "$siteBytes" "$documentBytes")
  echo "## The FPC tree as a cross-referenced code site"
  echo
  echo "- Command: \`lexiform \"$masks\" site -sub -site\`"
  echo "- Input: $fileCount files, $(FormatMB "$totalBytes") MB; $(nproc) cores, $(uname -sr); fastest of $runs rounds each"
  echo "- Site: $pageCount pages ($(FormatMB "$pageBytes") MB), $dataFiles scripts and data files, $(FormatMB "$siteBytes") MB in all; the program reported $processed processed files"
  echo
  echo "| run | seconds | user s | system s | MB/s | peak RSS (MiB) | written MB |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  Row "-sub -site" site "$siteBytes"
  Row "floor: cat every source, cp -r the site" floor "$siteBytes"
  Row "-sub -html5 -lines, one document" html5 "$documentBytes"
  echo
  echo "- the site takes $toFloor x the floor; bar 2 x: $(Bar "$toFloor" 2)"
  echo "- peak RSS of the site: $(FormatMiB "${maxRss[site]}") MiB; bar under 512 MB (512,000,000 bytes): $(awk -v k="${maxRss[site]}" 'BEGIN { print (k * 1024 < 512e6) ? "met" : "NOT met" }')"
  echo "- its pages are $pagesToDocument x the bytes of the -html5 -lines document; bar 1.5 x: $(Bar "$pagesToDocument" 1.5)"
  echo "- the whole site is $siteToDocument x; bar 2.5 x: $(Bar "$siteToDocument" 2.5)"
}

Report >"$WORK/report.md"
cat "$WORK/report.md"
if [[ -n "$outFile" ]]; then
  cp "$WORK/report.md" "$outFile"
  Log "Report written to $outFile"
fi
