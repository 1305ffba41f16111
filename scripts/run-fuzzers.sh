#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, starting from its seed
# corpus in fuzz/corpus/<target>/. Fails on any finding: a crash, a broken invariant, a
# leak, a timeout or running out of memory. Prints executions per second and total
# executions per target at the end.
#   FUZZ_SECONDS=60 scripts/run-fuzzers.sh            every target
#   scripts/run-fuzzers.sh fixup ini                  some targets
#   FUZZ_SEED=7 scripts/run-fuzzers.sh                another random sequence (default 1,
#                                                     so that a test run repeats itself)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build=build/fuzz

# libFuzzer comes with clang's runtime libraries, which a minimal install may lack.
if ! clang++ -fsanitize=fuzzer -x c++ -o /dev/null - >/dev/null 2>&1 <<'EOF'
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
EOF
then
  echo "libFuzzer is missing; installing clang's runtime libraries"
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq libclang-rt-dev >/dev/null
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for source in fuzz/*_fuzzer.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name%_fuzzer}")
  done
fi

# New inputs and findings go under the build tree; the seeds in the repository are
# only read (libFuzzer writes to the first corpus directory it is given).
work="$build/fuzz-run"
mkdir -p "$work"
summary=()
failed=()
for target in "${targets[@]}"; do
  corpus="$work/corpus/$target"
  mkdir -p "$corpus" "$work/artifacts"
  log="$work/$target.log"
  echo "=== fuzz $target for ${seconds} s"
  status=0
  # Each run gets a temporary directory of its own, removed afterwards.
  tmp=$(mktemp -d)
  TMPDIR="$tmp" "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=30 \
    -seed="${FUZZ_SEED:-1}" \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" \
    "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  rm -rf "$tmp"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  summary+=("$(printf '%-20s %12s execs %10s execs/s' "$target" "${execs:-?}" "${rate:-?}")")
  if [[ $status -ne 0 ]]; then
    failed+=("$target")
    echo "--- $target found a problem (status $status); the end of $log:"
    tail -n 40 "$log"
  fi
done

echo "=== fuzzing summary (${seconds} s per target)"
printf '%s\n' "${summary[@]}"
if [[ ${#failed[@]} -ne 0 ]]; then
  echo "fuzzing failed: ${failed[*]}; inputs that show it are in $work/artifacts/"
  exit 1
fi
echo "fuzzing: ${#targets[@]} passed, 0 failed"
