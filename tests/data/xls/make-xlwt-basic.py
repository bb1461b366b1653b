#!/usr/bin/python3
"""A small template as xlwt writes one: merged title, styles, a "0.00" format on values and on
blank cells, a formula, MULRK and MULBLANK records, a formatted row (fGhostDirty) and a column
format (COLINFO), Chinese text, a second sheet."""
import sys

import xlwt

wb = xlwt.Workbook(encoding='utf-8')
ws = wb.add_sheet('汇总')
title = xlwt.easyxf('font: bold on, height 280; align: horiz center')
money = xlwt.easyxf(num_format_str='0.00')
ws.write_merge(0, 0, 0, 5, '测试模板 标题', title)
ws.write(1, 0, '项目')
ws.write(1, 1, '金额')
for r in range(2, 5):
    ws.write(r, 1, r * 1.5 if r != 3 else 3, money)
ws.write(2, 2, 100)
ws.write(3, 2, -7)
ws.write(4, 2, 123456789)
ws.write(5, 1, xlwt.Formula('SUM(B3:B5)'), money)
for col in (1, 2, 3):
    ws.write(6, col, '', money)  # formatted blank cells: one MULBLANK
ws.row(10).set_style(money)
ws.col(5).set_style(money)
ws.col(5).width = 5000
ws2 = wb.add_sheet('第二页')
ws2.write(0, 0, 'second')
wb.save(sys.argv[1])
