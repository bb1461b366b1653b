#!/usr/bin/env bash
# Makes the third-party workbooks that the writer's tests fill: each program writes its own mix
# of records. Run by hand (needs python3-xlwt, gnumeric and libreoffice-calc-nogui); the results
# are committed, so the tests need none of these programs except the readers.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# xlwt: MULRK, MULBLANK, fGhostDirty row, COLINFO format, no INDEX, SST without EXTSST.
/usr/bin/python3 make-xlwt-basic.py xlwt-basic.xls
# Gnumeric: INDEX/DBCELL, COLINFO with XF 21, RK, an array formula, a string-valued formula.
ssconvert --recalc -T Gnumeric_Excel:excel_biff8 formulas.gnumeric gnumeric-formulas.xls
# Gnumeric's default: BIFF8 "Workbook" and BIFF7 "Book" streams in one file.
ssconvert --recalc -T Gnumeric_Excel:excel_dsf formulas.gnumeric gnumeric-dual.xls
# Only a BIFF7 "Book" stream: refused.
ssconvert --recalc -T Gnumeric_Excel:excel_biff7 formulas.gnumeric gnumeric-biff7.xls
# An Office Open XML workbook under an .xls name: refused.
ssconvert -T Gnumeric_Excel:xlsx2 formulas.gnumeric "$tmp/x.xlsx"
cp "$tmp/x.xlsx" xlsx-renamed.xls
# LibreOffice: shared formulas (SHRFMLA), ARRAY, MULRK, MULBLANK, RECALCID, EXTSST, CompObj.
for f in gnumeric-formulas xlwt-basic; do
  soffice -env:UserInstallation="file://$tmp/profile" --headless --convert-to 'xls:MS Excel 97' \
    --outdir "$tmp" "$f.xls" >/dev/null 2>&1
done
cp "$tmp/gnumeric-formulas.xls" libreoffice-formulas.xls
cp "$tmp/xlwt-basic.xls" libreoffice-basic.xls
