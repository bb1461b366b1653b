#!/usr/bin/env bash
# Runs every benchmark against an existing build and prints their figures.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
for bench in "$here"/bench_import_units.sh "$here"/bench_import_projects.sh; do
  [ -x "$bench" ] && "$bench" "$build"
done
if [ -x "$build/tools/bench_xls/corvane-bench-xls" ]; then
  "$build/tools/bench_xls/corvane-bench-xls"
fi
