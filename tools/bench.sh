#!/usr/bin/env bash
# Runs every benchmark against an existing build and prints their figures.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
"$here/bench_import.sh" units "$build"
"$here/bench_import.sh" projects "$build"
"$here/bench_import.sh" hostile "$build"
# The same project files into a PostgreSQL server on loopback, beside the SQLite figure above.
PROJECT_BENCH_SIZES=${PROJECT_BENCH_SIZES:-10000} "$here/bench_import.sh" projects "$build" postgresql
"$build/tools/bench_xls/corvane-bench-xls"
"$here/bench_reports.sh" "$build"
