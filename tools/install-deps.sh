#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need (xvfb, openbox and
# xdotool run the window tests on a real X server; dpkg-dev, librsvg2-bin and the checkers build and
# check the Debian package).
# Idempotent: apt is touched only when something is missing. Arguments name further packages.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format
  qt6-base-dev libqt6sql6-sqlite libsqlite3-dev qt6-qpa-plugins qt6-translations-l10n
  libxml2-dev libgsf-1-dev libmimalloc-dev libssl-dev
  libgtest-dev googletest
  python3 python3-xlrd gnumeric python3-xlwt time sqlite3
  libreoffice-calc-nogui
  fontconfig
  postgresql libqt6sql6-psql
  xvfb openbox xdotool
  dpkg-dev librsvg2-bin lintian desktop-file-utils appstream
)
# The window's captions and messages are Chinese: without a CJK font they show as boxes. Any
# installed one will do.
if ! command -v fc-list >/dev/null || [ -z "$(fc-list :lang=zh 2>/dev/null)" ]; then
  packages+=(fonts-wqy-zenhei)
fi
# Extra packages of one target, e.g. `make fuzz` adds clang and its fuzzer runtime.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
