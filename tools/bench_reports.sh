#!/usr/bin/env bash
# Report benchmark: generates units and projects, imports them into a fresh database, then times
# corvane-cli reports (both workbooks) and prints seconds and peak memory, best of several runs.
# Builds nothing. Usage: tools/bench_reports.sh [BUILD_DIR]
#   size: REPORT_BENCH_UNITS (10000), REPORT_BENCH_PROJECTS (50000); REPORT_BENCH_ROUNDS (3).
set -euo pipefail
build=${1:-build}
units=${REPORT_BENCH_UNITS:-10000}
projects=${REPORT_BENCH_PROJECTS:-50000}
rounds=${REPORT_BENCH_ROUNDS:-3}
cli="$build/cli/corvane-cli"
samples="$build/tools/corvane-samples"
for tool in "$cli" "$samples" /usr/bin/time; do
  [ -x "$tool" ] || { echo "missing $tool: build first (cmake --build $build)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/in" "$work/local"
cp "$build"/cli/*.xls "$work/app/"
printf '<?xml version="1.0" encoding="GB2312"?><Config><ImportPath>%s/in/</ImportPath><LocalPath>%s/local/</LocalPath><DataSource/></Config>' \
  "$work" "$work" >"$work/app/config.pz"
echo "preparing $units units and $projects projects ..."
"$samples" --units "$units" --projects "$projects" --seed 2010 "$work/in" >/dev/null
"$cli" --app-folder "$work/app" init-db >/dev/null
"$cli" --app-folder "$work/app" import-units "$work/in" >/dev/null
"$cli" --app-folder "$work/app" import-projects "$work/in" >/dev/null
rows=$(sqlite3 "$work/local/wenwu.mdb" "select count(*) from dat_project_info")

echo "reports: $(nproc) cores, $units units, $rows projects, both workbooks"
printf '%10s %14s %8s %8s %12s\n' seconds "peak RSS MiB" "user s" "sys s" "output MiB"
best=""
for round in $(seq "$rounds"); do
  /usr/bin/time -v -o "$work/time" "$cli" --app-folder "$work/app" reports >"$work/out"
  [ "$(grep -c '^成功写入' "$work/out")" -eq 2 ] || { echo "report run failed:" >&2; cat "$work/out" >&2; exit 1; }
  result=$(awk -F': ' '
    /Elapsed \(wall clock\)/ { k = split($2, p, ":"); s = 0; for (i = 1; i <= k; i++) s = s * 60 + p[i] }
    /Maximum resident set size/ { kb = $2 }
    /User time \(seconds\)/ { user = $2 }
    /System time \(seconds\)/ { sys = $2 }
    END { print s, kb, user, sys }' "$work/time")
  if [ -z "$best" ] || awk -v a="${result%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
    best=$result
  fi
done
bytes=$(cat "$work"/local/*.xls | wc -c)
read -r seconds kb user sys <<<"$best"
awk -v s="$seconds" -v kb="$kb" -v u="$user" -v y="$sys" -v b="$bytes" \
  'BEGIN { printf "%10.2f %14.1f %8.2f %8.2f %12.1f\n", s, kb / 1024, u, y, b / 1048576 }'
