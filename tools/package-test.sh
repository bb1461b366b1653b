#!/usr/bin/env bash
# Builds the Debian package, checks it, installs it, runs the installed programs in a fresh home
# folder, removes it and checks that nothing of it remains. Needs root (apt); exit 77 skips.
# Usage: package-test.sh BUILD_DIR VERSION
set -euo pipefail

build=$(cd "$1" && pwd)
version=$2
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing the package needs root"
  exit 77
fi
if ! command -v apt-get >/dev/null; then
  echo "skipped: no apt-get, not a Debian system"
  exit 77
fi
for tool in cpack lintian desktop-file-validate appstreamcli /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run bash tools/install-deps.sh" >&2; exit 1; }
done
start=$(date +%s)
apt=(apt-get -o DPkg::Lock::Timeout=120 -qq)
fail() { echo "FAILED: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A package left by an interrupted run would hide what this one installs.
if dpkg-query -W -f='${Status}' corvane 2>/dev/null | grep -q installed; then
  "${apt[@]}" purge -y corvane >/dev/null
fi

echo "== package"
rm -f "$build"/corvane_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
deb="$build/corvane_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
case "$depends" in *libmimalloc*) ;; *) fail "Depends lacks mimalloc" ;; esac
case "$depends" in *libqt6widgets6*) ;; *) fail "Depends lacks Qt Widgets" ;; esac
echo "$depends" | grep -q -- '-dev\b' && fail "Depends names a -dev package"

# lintian reads the file while apt installs it: the two take the longest.
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 &
lintian_pid=$!

echo "== install"
"${apt[@]}" install -y "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }
echo "== lintian"
lintian_status=0
wait "$lintian_pid" || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"
dpkg-query -L corvane >"$work/files"
desktop-file-validate /usr/share/applications/org.corvane.Corvane.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/org.corvane.Corvane.metainfo.xml || fail "appstreamcli validate"
grep -q 'application/x-corvane-project:\*\.xm' /usr/share/mime/globs2 || fail "the .xm type is not in the MIME database"
for program in corvane corvane-cli; do
  [ "$(command -v $program)" = "/usr/bin/$program" ] || fail "$program is not in /usr/bin"
  [ "$($program --version)" = "$program $version" ] || fail "$program --version: $($program --version)"
done

echo "== the installed programs in a fresh home folder"
export HOME="$work/home"
unset XDG_CONFIG_HOME
mkdir -p "$HOME" "$work/in" "$work/local"
cd "$work"
"$build/tools/corvane-samples" --units 6 --projects 40 --seed 21 "$work/in" >/dev/null
corvane-cli --help >/dev/null
config="$HOME/.config/corvane/config.pz"
[ -f "$config" ] || fail "the first start made no $config"
printf '<?xml version="1.0" encoding="GB2312" standalone="yes"?>\n<Config><ImportPath/><LocalPath>%s/</LocalPath><DataSource/></Config>\n' \
  "$work/local" >"$config"
corvane-cli init-db
corvane-cli import-units "$work/in"
corvane-cli import-projects "$work/in"
corvane-cli reports
# The templates came from /usr/share/corvane/; the workbooks must open and hold the imported numbers.
# Debian's python reads them with python3-xlrd, as the reports tests do.
/usr/bin/python3 - "$work"/local/*.xls <<'PY'
import sys
import xlrd
paths = sys.argv[1:]
assert len(paths) == 2, paths
for path in paths:
    book = xlrd.open_workbook(path, formatting_info=True)
    # These samples reach every sheet of both workbooks.
    for sheet in book.sheets():
        numbers = [c.value for r in range(sheet.nrows) for c in sheet.row(r) if c.ctype == xlrd.XL_CELL_NUMBER]
        assert any(numbers), path + ': no figures on ' + sheet.name
    print(path.rsplit('/', 1)[1], book.nsheets, 'sheets with figures')
PY
[ -z "$(ls "$work/in")" ] || fail "files left in the import folder: $(ls "$work/in" | head -3)"

echo "== the installed window, offscreen"
status=0
QT_QPA_PLATFORM=offscreen timeout 3 corvane || status=$?
[ "$status" -eq 124 ] || fail "the window ended by itself with status $status"

echo "== purge"
"${apt[@]}" purge -y corvane >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get purge"; }
left=0
while read -r path; do
  if [ -e "$path" ] && [ ! -d "$path" ]; then
    echo "left behind: $path" >&2
    left=1
  fi
done <"$work/files"
for folder in /usr/share/corvane /usr/share/doc/corvane; do
  [ ! -e "$folder" ] || { echo "left behind: $folder" >&2; left=1; }
done
grep -q 'x-corvane' /usr/share/mime/globs2 && { echo "the MIME database still knows the types" >&2; left=1; }
[ "$left" -eq 0 ] || fail "files of the package remain"
echo "package test passed in $(($(date +%s) - start)) s"
