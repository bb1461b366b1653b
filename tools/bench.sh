#!/usr/bin/env bash
# Runs every benchmark against an existing build and prints their figures.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
"$here/bench_import.sh" units "$build"
"$here/bench_import.sh" projects "$build"
"$build/tools/bench_xls/corvane-bench-xls"
"$here/bench_reports.sh" "$build"
