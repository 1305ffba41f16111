#!/usr/bin/env bash
# The speed table: lexiform against the highlighters people use for Pascal, on the same
# two inputs made from the FPC tree at run time:
#   big    one file of about 20 MB: whole FPC files concatenated in sorted order;
#   many   1,000 separate FPC files spread evenly over the sorted list, converted into
#          one document (lexiform: one run with a wildcard over their directory).
# Peers: Pygments (delphi lexer), GNU source-highlight (pascal), highlight (pascal),
# highlight.js (delphi) on Node; floors: cat and cp of the same bytes. On "many" each
# peer runs in its fastest mode (one process over all files) and one process per file,
# as its command-line users run it; the latter is timed on a sample and extrapolated.
# Missing peers are installed (apt-get, npm into a cache outside the repository); a peer
# that cannot be had is skipped with a message. Bounded: the whole run stops itself
# after --budget seconds, skipping what is left.
#
#   bench/compare.sh [--lexiform PATH] [--out FILE] [--big-mb N] [--files N]
#                    [--per-file-sample N] [--runs N] [--limit SECONDS]
#                    [--budget SECONDS] [--tools LIST] [--no-install]
#
#   --lexiform PATH        our program (default: $LEXIFORM, else build/release/lexiform)
#   --out FILE             also write the table (markdown) to FILE
#   --big-mb N             size of the big input in MB (default 20)
#   --files N              number of separate files (default 1000)
#   --per-file-sample N    files run one process each per peer (default 100; 0 = all)
#   --runs N               runs of lexiform and the floors, fastest kept (default 3)
#   --limit SECONDS        time limit of one measured command (default 300)
#   --budget SECONDS       time for the whole run (default 840)
#   --tools LIST           comma list among lexiform,floors,highlight.js,highlight,
#                          source-highlight,pygments (default all)
#   --no-install           do not install missing peers
#
# Environment: LEXIFORM, FPC_ROOT, PYTHON, LEXIFORM_BENCH_CACHE (default
# ~/.cache/lexiform-bench, holds highlight.js), HLJS_VERSION (default 11.12.0).
# shellcheck disable=SC2016  # single-quoted scripts expand in the shell they run in
set -euo pipefail
# shellcheck source=bench/bench_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh"

lexiformPath=""
outFile=""
bigMB=20
fileCount=1000
perFileSample=100
runs=3
limit=300
budget=840
tools="lexiform,floors,highlight.js,highlight,source-highlight,pygments"
install=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    --lexiform) lexiformPath="${2:?--lexiform needs a path}"; shift 2 ;;
    --out) outFile="${2:?--out needs a file name}"; shift 2 ;;
    --big-mb) bigMB="${2:?--big-mb needs a number}"; shift 2 ;;
    --files) fileCount="${2:?--files needs a number}"; shift 2 ;;
    --per-file-sample) perFileSample="${2:?--per-file-sample needs a number}"; shift 2 ;;
    --runs) runs="${2:?--runs needs a number}"; shift 2 ;;
    --limit) limit="${2:?--limit needs seconds}"; shift 2 ;;
    --budget) budget="${2:?--budget needs seconds}"; shift 2 ;;
    --tools) tools="${2:?--tools needs a list}"; shift 2 ;;
    --no-install) install=0; shift ;;
    -h | --help) ShowHelp "${BASH_SOURCE[0]}"; exit 0 ;;
    *) Die "unknown argument '$1' (see --help)" ;;
  esac
done
for number in "$bigMB" "$fileCount" "$runs" "$limit" "$budget"; do
  [[ "$number" =~ ^[1-9][0-9]*$ ]] || Die "'$number' is not a positive number"
done
[[ "$perFileSample" =~ ^[0-9]+$ ]] || Die "--per-file-sample takes a number"
[[ -d "$FPC_ROOT" ]] || Die "FPC tree not found at $FPC_ROOT (Debian package fpc-source, or set FPC_ROOT)"

Wanted() { [[ ",$tools," == *",$1,"* ]]; }

startedAt=$(date +%s)
BudgetLeft() { echo $((budget - ($(date +%s) - startedAt))); }
# The time limit for the next command: the smaller of --limit and what the budget leaves.
StepLimit() {
  local left
  left=$(BudgetLeft)
  ((left < limit)) && echo "$left" || echo "$limit"
}
OverBudget() { (($(BudgetLeft) < 5)); }

MakeWorkDir
EnsureTimeTool
mkdir -p "$WORK/in/many" "$WORK/out"

# Rows of the table, one a line, fields separated by tabs:
# input, tool, mode, seconds, bytes, peak RSS KiB, note ("-" for none).
rows="$WORK/rows.tsv"
: >"$rows"
AddRow() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$rows"; }
# AddMeasured INPUT TOOL MODE BYTES: a row from the last measure, or a failure row.
AddMeasured() {
  if [[ "$M_RC" == 0 ]]; then
    AddRow "$1" "$2" "$3" "$M_SEC" "$4" "$M_RSS_KB" "-"
  elif [[ "$M_RC" == 124 || "$M_RC" == 137 ]]; then
    AddRow "$1" "$2" "$3" "-" "$4" "-" "stopped by the time limit after ${M_SEC} s"
  else
    AddRow "$1" "$2" "$3" "-" "$4" "-" "failed with exit status $M_RC"
  fi
}
Skip() { # INPUT TOOL MODE REASON
  AddRow "$1" "$2" "$3" "-" "-" "-" "skipped: $4"
  Log "skipped: $2 ($3) on $1: $4"
}

# ----- Inputs -----
ListPascalFiles "$FPC_ROOT" "$WORK/all.txt"
bigWanted=$((bigMB * 1000000))
xargs -d '\n' -a "$WORK/all.txt" stat -c '%s %n' 2>/dev/null |
  awk -v want="$bigWanted" '{ size = $1; sub(/^[0-9]+ /, ""); print; total += size } total >= want { exit }' \
    >"$WORK/big-parts.txt" || true
xargs -d '\n' -a "$WORK/big-parts.txt" cat >"$WORK/in/big.pas"
bigFile="$WORK/in/big.pas"
bigBytes=$(stat -c %s "$bigFile")
bigParts=$(ListCount "$WORK/big-parts.txt")

SpreadSample "$WORK/all.txt" "$fileCount" "$WORK/many-sources.txt"
manyCount=$(ListCount "$WORK/many-sources.txt")
: >"$WORK/many.txt"
index=0
while IFS= read -r source; do
  index=$((index + 1))
  copy="$WORK/in/many/$(printf '%04d' "$index")_$(basename "$source")"
  cp "$source" "$copy"
  printf '%s\n' "$copy" >>"$WORK/many.txt"
done <"$WORK/many-sources.txt"
manyBytes=$(ListBytes "$WORK/many.txt")
if ((perFileSample == 0 || perFileSample >= manyCount)); then
  cp "$WORK/many.txt" "$WORK/sample.txt"
else
  SpreadSample "$WORK/many.txt" "$perFileSample" "$WORK/sample.txt"
fi
sampleCount=$(ListCount "$WORK/sample.txt")
sampleBytes=$(ListBytes "$WORK/sample.txt")
WarmCache "$WORK/many.txt"
cat "$bigFile" >/dev/null
Log "Inputs: big.pas $(FormatMB "$bigBytes") MB ($bigParts files); $manyCount files, $(FormatMB "$manyBytes") MB; per-file sample $sampleCount files"

# ----- Measuring one peer -----
# A peer is described by three shell functions taking (list-or-file, output):
#   <peer>_one FILE OUT      convert one file (the CLI as users call it)
#   <peer>_batch LIST OUT    fastest mode over all files of LIST (one process)
# The per-file mode runs <peer>_one for each file of the list in one timed shell loop.
PerFileLoop='
one="$1"; list="$2"; dir="$3"; shift 3
index=0
while IFS= read -r file; do
  index=$((index + 1))
  "$one" "$file" "$dir/$index.html" "$@" || exit $?
done <"$list"
'

# MeasurePeer NAME LABEL: the three rows of one peer.
MeasurePeer() {
  local name="$1" label="$2" out="$WORK/out/$1"
  local batchSec perSec perRss batchSampleSec estimate note

  if OverBudget; then Skip "big" "$label" "one file" "time budget used up"; else
    Log "$label: big file ..."
    rm -rf "$out" && mkdir -p "$out"
    measure "$(StepLimit)" "$WORK/peer-$name-one" "$bigFile" "$out/big.html" >"$WORK/$name-big.log" 2>&1
    AddMeasured "big" "$label" "one file" "$bigBytes"
  fi

  batchSec=""
  if OverBudget; then Skip "many" "$label" "one process, all files" "time budget used up"; else
    Log "$label: $manyCount files in one process ..."
    rm -rf "$out" && mkdir -p "$out"
    measure "$(StepLimit)" "$WORK/peer-$name-batch" "$WORK/many.txt" "$out" >"$WORK/$name-batch.log" 2>&1
    AddMeasured "many" "$label" "one process, all files" "$manyBytes"
    [[ "$M_RC" == 0 ]] && batchSec="$M_SEC"
  fi

  if OverBudget; then Skip "many" "$label" "one process per file" "time budget used up"; return; fi
  Log "$label: one process per file over $sampleCount files ..."
  rm -rf "$out" && mkdir -p "$out"
  measure "$(StepLimit)" bash -c "$PerFileLoop" _ "$WORK/peer-$name-one" "$WORK/sample.txt" "$out" \
    >"$WORK/$name-perfile.log" 2>&1
  if [[ "$M_RC" != 0 || "$sampleCount" == "$manyCount" ]]; then
    AddMeasured "many" "$label" "one process per file" "$manyBytes"
    return
  fi
  perSec="$M_SEC"
  perRss="$M_RSS_KB"
  if [[ -z "$batchSec" ]]; then
    AddRow "many" "$label" "one process per file, $sampleCount files only" "$perSec" "$sampleBytes" "$perRss" \
      "measured on the sample alone: the run over all files failed"
    return
  fi
  # Per-file mode does the batch's work plus a start-up per file. The work is known from
  # the batch run over all files; the start-up cost comes from the sample, as the extra
  # time per-file mode takes over batch mode on the same sample files.
  rm -rf "$out" && mkdir -p "$out"
  measure "$(StepLimit)" "$WORK/peer-$name-batch" "$WORK/sample.txt" "$out" >"$WORK/$name-batch-sample.log" 2>&1
  if [[ "$M_RC" != 0 ]]; then
    AddRow "many" "$label" "one process per file, $sampleCount files only" "$perSec" "$sampleBytes" "$perRss" \
      "measured on the sample alone"
    return
  fi
  batchSampleSec="$M_SEC"
  estimate=$(awk -v b="$batchSec" -v p="$perSec" -v s="$batchSampleSec" -v n="$manyCount" -v k="$sampleCount" \
    'BEGIN { extra = p - s; if (extra < 0) extra = 0; printf "%.3f", b + extra * n / k }')
  note="estimated: $sampleCount files run one process each in ${perSec} s against ${batchSampleSec} s in one process;"
  note+=" the extra time scaled by $manyCount/$sampleCount, plus the one-process time of all files"
  AddRow "many" "$label" "one process per file (est.)" "$estimate" "$manyBytes" "$perRss" "$note"
  rm -rf "$out"
}

# Each peer gets two small scripts so the timed commands are plain executables.
# They start in WORK/out, where a tool may drop side files (highlight writes its style
# sheet into the current directory).
WritePeer() { # NAME ONE-BODY BATCH-BODY
  local start
  start="cd $(Quote "$WORK/out") || exit 1"
  printf '#!/usr/bin/env bash\n# one FILE OUT\n%s\n%s\n' "$start" "$2" >"$WORK/peer-$1-one"
  printf '#!/usr/bin/env bash\n# batch LIST OUTDIR\n%s\n%s\n' "$start" "$3" >"$WORK/peer-$1-batch"
  chmod +x "$WORK/peer-$1-one" "$WORK/peer-$1-batch"
}

Quote() { printf '%q' "$1"; }
commands="$WORK/commands.md"
: >"$commands"
Command() { printf -- '- %s: `%s`\n' "$1" "$2" >>"$commands"; }

# ----- lexiform -----
ourBig=""
ourMany=""
if Wanted lexiform; then
  PrepareOurProgram "$lexiformPath"
  if [[ ${#OUR_CMD[@]} -gt 0 ]]; then
    Log "lexiform: big file, fastest of $runs ..."
    measure_best "$runs" "$(StepLimit)" "${OUR_CMD[@]}" "$bigFile" "$WORK/out/ours-big.html" >"$WORK/ours-big.log" 2>&1
    if CheckOurRun "$M_RC" "$WORK/out/ours-big.html" "$WORK/ours-big.log"; then
      AddRow "big" "lexiform" "one file" "$M_SEC" "$bigBytes" "$M_RSS_KB" "-"
      ourBig="$M_SEC"
    else
      AddRow "big" "lexiform" "one file" "-" "$bigBytes" "-" "$OUR_PROBLEM"
    fi
    rm -f "$WORK/out/ours-big.html"
    OUR_PROBLEM=""
    Log "lexiform: $manyCount files in one run, fastest of $runs ..."
    measure_best "$runs" "$(StepLimit)" "${OUR_CMD[@]}" "$WORK/in/many/*" "$WORK/out/ours-many.html" \
      >"$WORK/ours-many.log" 2>&1
    if CheckOurRun "$M_RC" "$WORK/out/ours-many.html" "$WORK/ours-many.log"; then
      AddRow "many" "lexiform" "one run, all files" "$M_SEC" "$manyBytes" "$M_RSS_KB" "-"
      ourMany="$M_SEC"
      processed=$(ProcessedCount "$WORK/ours-many.log")
      [[ "$processed" == "$manyCount" ]] ||
        Log "WARNING: lexiform reports $processed processed files, expected $manyCount"
    else
      AddRow "many" "lexiform" "one run, all files" "-" "$manyBytes" "-" "$OUR_PROBLEM"
    fi
    rm -f "$WORK/out/ours-many.html"
  else
    AddRow "big" "lexiform" "one file" "-" "$bigBytes" "-" "$OUR_PROBLEM"
    AddRow "many" "lexiform" "one run, all files" "-" "$manyBytes" "-" "$OUR_PROBLEM"
  fi
  Command "lexiform, big" "lexiform big.pas out.html"
  Command "lexiform, many" "lexiform \"many/*\" out.html (the $manyCount copies in one directory)"
fi

# ----- Floors -----
if Wanted floors; then
  Log "floors: cat and cp ..."
  measure_best "$runs" "$(StepLimit)" bash -c 'cat "$1" >"$2"' _ "$bigFile" "$WORK/out/cat.out"
  AddMeasured "big" "cat (floor)" "one file" "$bigBytes"
  measure_best "$runs" "$(StepLimit)" cp "$bigFile" "$WORK/out/cp.out"
  AddMeasured "big" "cp (floor)" "one file" "$bigBytes"
  measure_best "$runs" "$(StepLimit)" bash -c 'mapfile -t files <"$1"; cat "${files[@]}" >"$2"' _ "$WORK/many.txt" "$WORK/out/cat.out"
  AddMeasured "many" "cat (floor)" "one process, all files" "$manyBytes"
  mkdir -p "$WORK/out/cp"
  measure_best "$runs" "$(StepLimit)" bash -c 'mapfile -t files <"$1"; cp "${files[@]}" "$2"' _ "$WORK/many.txt" "$WORK/out/cp"
  AddMeasured "many" "cp (floor)" "one process, all files" "$manyBytes"
  rm -rf "$WORK/out/cat.out" "$WORK/out/cp.out" "$WORK/out/cp"
  Command "floors" "cat big.pas >out; cp big.pas out; cat <files> >out; cp <files> dir/"
fi

# ----- highlight.js on Node -----
if Wanted highlight.js; then
  hljsDir="$BENCH_CACHE/hljs-$HLJS_VERSION"
  problem=""
  if ! command -v node >/dev/null 2>&1; then
    if [[ $install == 1 ]]; then
      Log "Installing Debian's nodejs and npm ..."
      AptInstall nodejs npm || problem="Node is not installed and could not be installed"
    else
      problem="Node is not installed"
    fi
  fi
  if [[ -z "$problem" && ! -f "$hljsDir/node_modules/highlight.js/lib/core.js" ]]; then
    if [[ $install == 1 ]] && command -v npm >/dev/null 2>&1; then
      Log "Installing highlight.js $HLJS_VERSION with npm into $hljsDir ..."
      mkdir -p "$hljsDir"
      npm install --prefix "$hljsDir" --no-audit --no-fund --no-save --silent "highlight.js@$HLJS_VERSION" >&2 ||
        problem="npm could not install highlight.js@$HLJS_VERSION"
    else
      problem="highlight.js is not installed in $hljsDir and npm is not available or --no-install was given"
    fi
  fi
  if [[ -z "$problem" ]]; then
    # One process converts every file named after the output (a list file when it starts
    # with "@"); only the core and the delphi language load, the quickest start.
    cat >"$WORK/hljs.js" <<'EOF'
'use strict';
const fs = require('fs');
const path = require('path');
const [dir, out, ...inputs] = process.argv.slice(2);
const modules = path.join(dir, 'node_modules', 'highlight.js', 'lib');
const hljs = require(path.join(modules, 'core'));
hljs.registerLanguage('delphi', require(path.join(modules, 'languages', 'delphi')));
let files = inputs;
if (inputs.length === 1 && inputs[0].startsWith('@')) {
  files = fs.readFileSync(inputs[0].slice(1), 'utf8').split('\n').filter((name) => name.length > 0);
}
const fd = fs.openSync(out, 'w');
for (const file of files) {
  // latin1: one character per byte, as the other tools see the bytes.
  const code = fs.readFileSync(file, 'latin1');
  const html = hljs.highlight(code, { language: 'delphi', ignoreIllegals: true }).value;
  fs.writeSync(fd, '<pre><code class="hljs language-delphi">' + html + '</code></pre>\n', null, 'latin1');
}
fs.closeSync(fd);
EOF
    node=$(command -v node)
    WritePeer highlight.js \
      "exec $(Quote "$node") $(Quote "$WORK/hljs.js") $(Quote "$hljsDir") \"\$2\" \"\$1\"" \
      "exec $(Quote "$node") $(Quote "$WORK/hljs.js") $(Quote "$hljsDir") \"\$2/all.html\" \"@\$1\""
    MeasurePeer highlight.js "highlight.js $HLJS_VERSION (Node $(node --version))"
    Command "highlight.js" "node hljs.js (hljs.highlight(code, {language: 'delphi', ignoreIllegals: true}) per file; one process over all files, or one per file)"
  else
    Skip "big" "highlight.js" "all modes" "$problem"
  fi
fi

# ----- highlight (André Simon's) -----
if Wanted highlight; then
  if ! command -v highlight >/dev/null 2>&1 && [[ $install == 1 ]]; then
    Log "Installing Debian's highlight ..."
    AptInstall highlight || true
  fi
  if command -v highlight >/dev/null 2>&1; then
    # Older releases name the language by its file extension only.
    syntax=pascal
    printf 'begin end.\n' | highlight -S pascal -O html >/dev/null 2>&1 || syntax=pas
    hl=$(command -v highlight)
    WritePeer highlight \
      "exec $(Quote "$hl") -S $syntax -O html -i \"\$1\" -o \"\$2\"" \
      "mapfile -t files <\"\$1\"; exec $(Quote "$hl") -S $syntax -O html --stdout -q \"\${files[@]}\" >\"\$2/all.html\""
    MeasurePeer highlight "highlight $(highlight --version | sed -n 's/.*highlight version \([0-9.]*\).*/\1/p' | head -n 1)"
    Command "highlight" "highlight -S $syntax -O html -i FILE -o OUT; one process: highlight -S $syntax -O html --stdout -q FILES... >OUT"
  else
    Skip "big" "highlight" "all modes" "highlight is not installed and could not be installed"
  fi
fi

# ----- GNU source-highlight -----
if Wanted source-highlight; then
  if ! command -v source-highlight >/dev/null 2>&1 && [[ $install == 1 ]]; then
    Log "Installing Debian's source-highlight ..."
    AptInstall source-highlight || true
  fi
  if command -v source-highlight >/dev/null 2>&1; then
    sh=$(command -v source-highlight)
    WritePeer source-highlight \
      "exec $(Quote "$sh") --src-lang=pascal -f html -i \"\$1\" -o \"\$2\"" \
      "mapfile -t files <\"\$1\"; exec $(Quote "$sh") --src-lang=pascal -f html --output-dir=\"\$2\" \"\${files[@]}\""
    MeasurePeer source-highlight "GNU source-highlight $(source-highlight --version | sed -n 's/.*ource-highlight \([0-9.]*\).*/\1/p' | head -n 1)"
    Command "source-highlight" "source-highlight --src-lang=pascal -f html -i FILE -o OUT; one process: source-highlight --src-lang=pascal -f html --output-dir=DIR FILES..."
  else
    Skip "big" "source-highlight" "all modes" "source-highlight is not installed and could not be installed"
  fi
fi

# ----- Pygments -----
if Wanted pygments; then
  if FindPygments; then
    pygmentize=$(PygmentizeCommand)
    printf '%s\n' "$PYGMENTS_BATCH" >"$WORK/pygments_batch.py"
    WritePeer pygments \
      "exec $(Quote "$pygmentize") -l delphi -f html -o \"\$2\" \"\$1\"" \
      "exec $(Quote "$PYGMENTS_PYTHON") $(Quote "$WORK/pygments_batch.py") \"\$1\" \"\$2/all.html\""
    MeasurePeer pygments "Pygments $("$PYGMENTS_PYTHON" -c 'import pygments; print(pygments.__version__)')"
    Command "Pygments" "pygmentize -l delphi -f html -o OUT FILE; one process: python3 looping highlight(code, DelphiLexer(), HtmlFormatter()) over the files"
  else
    Skip "big" "Pygments" "all modes" "Pygments is not installed and could not be installed"
  fi
fi

# ----- The table -----
Table() {
  local input ourSec
  echo "| input | tool | mode | seconds | MB/s | peak RSS (MiB) | tool/lexiform | lexiform/tool |"
  echo "|---|---|---|---:|---:|---:|---:|---:|"
  # Big-file rows first, then the rows of the separate files, each in measuring order.
  sort -s -t $'\t' -k1,1 "$rows" | while IFS=$'\t' read -r input tool mode sec bytes rss note; do
    ourSec=$([[ $input == big ]] && echo "$ourBig" || echo "$ourMany")
    awk -v input="$input" -v tool="$tool" -v mode="$mode" -v sec="$sec" -v bytes="$bytes" -v rss="$rss" \
      -v ours="$ourSec" -v oursBytes="$([[ $input == big ]] && echo "$bigBytes" || echo "$manyBytes")" 'BEGIN {
        if (sec == "-") { printf "| %s | %s | %s | - | - | - | - | - |\n", input, tool, mode; exit }
        rate = bytes / 1e6 / sec
        ratio = "n/a"; inverse = "n/a"
        if (ours != "") {
          ourRate = oursBytes / 1e6 / ours
          ratio = sprintf("%.3g", rate / ourRate); inverse = sprintf("%.1fx", ourRate / rate)
        }
        printf "| %s | %s | %s | %.2f | %.2f | %s | %s | %s |\n", input, tool, mode, sec, rate,
          (rss == "-" ? "-" : sprintf("%.1f", rss / 1024)), ratio, inverse
      }'
  done
}

Report() {
  echo "## Speed table"
  echo
  echo "Inputs (made at run time from $FPC_ROOT):"
  echo "- big: one file of $(FormatMB "$bigBytes") MB ($bigBytes bytes), the first $bigParts Pascal files of the tree in byte order of their paths, concatenated"
  echo "- many: $manyCount separate files, $(FormatMB "$manyBytes") MB ($manyBytes bytes), spread evenly over the $(ListCount "$WORK/all.txt") Pascal files in byte order of their paths, converted into one document"
  echo
  Table
  echo
  echo "MB = 10^6 bytes. Seconds are wall time; lexiform and the floors: fastest of $runs run$( ((runs == 1)) || echo s), peers: one run."
  echo "Peak RSS: maximum resident set size from /usr/bin/time (for per-file modes, the largest single process)."
  echo "tool/lexiform: the tool's throughput divided by ours on the same input (lexiform/tool is its inverse)."
  echo "Machine: $(nproc) cores, $(uname -sr), shared with other work while measuring."
  echo
  echo "Notes:"
  local input tool mode sec bytes rss note
  while IFS=$'\t' read -r input tool mode sec bytes rss note; do
    [[ "$note" == "-" ]] || echo "- $tool, $mode, $input: $note"
  done <"$rows"
  [[ -z "${OUR_SOURCE:-}" ]] || echo "- lexiform binary: $OUR_SOURCE"
  echo
  echo "Commands:"
  cat "$commands"
}

Report >"$WORK/report.md"
cat "$WORK/report.md"
if [[ -n "$outFile" ]]; then
  cp "$WORK/report.md" "$outFile"
  Log "Table written to $outFile"
fi
Log "Done in $(($(date +%s) - startedAt)) s."
