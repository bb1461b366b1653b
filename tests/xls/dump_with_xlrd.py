"""Reads workbooks with xlrd and prints, as JSON, every sheet of each: its name and each cell that
holds a value or a format of its own: [row, col, ctype, value, xf_index, number format string].
Usage: dump_with_xlrd.py FILE... (Debian's python3-xlrd)."""
import json
import sys

import xlrd

result = {}
for path in sys.argv[1:]:
    try:
        book = xlrd.open_workbook(path, formatting_info=True, ragged_rows=True)
    except Exception as error:  # reported to the test, which fails on it
        result[path] = {'error': repr(error)}
        continue
    sheets = []
    for sheet in book.sheets():
        cells = []
        for r in range(sheet.nrows):
            for c, cell in enumerate(sheet.row(r)):
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = book.xf_list[cell.xf_index]
                fmt = book.format_map[xf.format_key].format_str
                cells.append([r, c, cell.ctype, cell.value, cell.xf_index, fmt])
        sheets.append({'name': sheet.name, 'cells': cells})
    result[path] = {'sheets': sheets}
json.dump(result, sys.stdout, ensure_ascii=False)
