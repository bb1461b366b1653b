#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UBSan in build-fuzz/, seeds
# them from the sample generator, the templates and the test workbooks, then runs each for
# SECONDS seconds and prints executions and coverage. Exit 1 when a target finds something.
# Usage: tools/fuzz.sh [SECONDS] [BUILD_DIR]
set -euo pipefail

seconds=${1:-180}
build=${2:-build-fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DUSE_MIMALLOC=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBUILD_TESTS=OFF -DBUILD_FUZZERS=ON -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_import fuzz_workbook corvane-samples

seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/import" "$seeds/workbook" "$build/corpus/import" "$build/corpus/workbook"
# The sample generator's own build is sanitized too; its leaks at exit are not the fuzzers' concern.
ASAN_OPTIONS=detect_leaks=0 "$build/tools/corvane-samples" --units 4 --projects 4 "$seeds/import" >/dev/null
ASAN_OPTIONS=detect_leaks=0 "$build/tools/corvane-samples" --units 2 --projects 2 --pretty --seed 7 "$seeds/import/pretty" >/dev/null
find "$seeds/import/pretty" -type f -exec mv {} "$seeds/import/" \; && rmdir "$seeds/import/pretty"
cp tests/data/project.xm tests/data/findings/*.dw "$seeds/import/"
cp templates/*.xls tests/data/xls/*.xls tests/data/findings/*.xls "$seeds/workbook/"

status=0
for target in import workbook; do
  log="$build/fuzz_$target.log"
  echo "fuzz_$target: ${seconds}s ..."
  # Leak checks are off: Qt keeps plugin and locale data for the life of the process.
  if ! ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
      nice "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
      -rss_limit_mb=2560 -timeout=20 -artifact_prefix="$build/fuzz_$target-" \
      "$build/corpus/$target" "$seeds/$target" >"$log" 2>&1; then
    status=1
    echo "fuzz_$target: FINDING, see $log"
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(echo "$last" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*' || echo "?")
  features=$(echo "$last" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*' || echo "?")
  corpus=$(echo "$last" | grep -o 'corp: [0-9]*' | grep -o '[0-9]*' || echo "?")
  echo "fuzz_$target: $runs executions, coverage $cov edges, $features features, corpus $corpus inputs"
done
exit $status
