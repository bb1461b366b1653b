#!/usr/bin/env bash
# The demo behind `make run`: a fresh working folder with a new database and sample report
# files, a config.pz beside the program pointing at it, then the window (or, without a
# display, the same work through corvane-cli).
set -euo pipefail

build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$root" && cd "$build" && pwd)
cli="$build/cli/corvane-cli"
samples="$build/tools/corvane-samples"
window="$build/app/corvane"
demo="$root/demo"

rm -rf "$demo"
mkdir -p "$demo/in" "$demo/local"
"$samples" --units 40 --projects 120 --seed 2006 "$demo/in" >/dev/null

for folder in "$build/cli" "$build/app"; do
  [ -d "$folder" ] || continue
  printf '<?xml version="1.0" encoding="GB2312" standalone="yes"?>\n<Config><ImportPath>%s/</ImportPath><LocalPath>%s/</LocalPath><DataSource/></Config>\n' \
    "$demo/in" "$demo/local" > "$folder/config.pz.tmp"
  mv "$folder/config.pz.tmp" "$folder/config.pz"
done

"$cli" init-db

if [ -x "$window" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "演示文件夹: $demo"
  exec "$window"
fi

[ -x "$window" ] && echo "未检测到图形显示，改为在命令行中运行演示。"
echo "== 导入单位信息 ($demo/in/*.dw)"
"$cli" import-units "$demo/in" || true
echo "== 导入项目信息 ($demo/in/*.xm)"
"$cli" import-projects "$demo/in" || true
echo "== 数据库 $demo/local/wenwu.mdb"
if command -v sqlite3 >/dev/null; then
  for table in dat_corp_info dat_corp_reserve dat_project_info dat_project_fund_detail dat_project_budget; do
    printf '  %-26s %s 行\n' "$table" "$(sqlite3 "$demo/local/wenwu.mdb" "select count(*) from $table")"
  done
fi
echo "已导入的文件已移到 $demo/local/"
echo "== 生成统计报表"
"$cli" reports
