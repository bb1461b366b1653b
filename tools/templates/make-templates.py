#!/usr/bin/python3
"""Writes the template workbooks that the program fills:

    国家计委汇总表.xls        sheets 0 and 1: one row per project from row 6 on
    十一五资金需求汇总表.xls  sheets 0 to 4: fixed tables and the project lists
    导入结果.xls              the refused files of an import batch: one row per message from row 3 on

Every title, heading and label stands beside the cells that the report writers fill; data cells
carry formats for counts, areas, amounts and percentages. Run with Debian's python3 and
python3-xlwt:  /usr/bin/python3 tools/templates/make-templates.py templates
"""
import os
import sys

import xlwt

# Names from the store's dictionaries (store/dictionaries.sql).
ATTRIBUTES = ['抢险加固项目', '维修保护项目', '续建项目', '新建项目', '保护规划编制项目', '其他项目']
EXCAVATION_TYPES = ['配合基本建设考古发掘', '主动性考古发掘', '抢救性考古发掘', '考古调查', '考古勘探',
                    '水下考古', '考古资料整理', '考古报告出版', '其他考古项目']  # types 21 to 29
YEARS = ['2006年', '2007年', '2008年', '2009年', '2010年']
DEVICES = ['供水设施', '报警设施', '防雷设施', '技防设施', '文物保存设备']
STATUS_COLUMNS = ['良好', '一般', '差', '无']  # status 3, 2, 1, 0

BORDER = 'borders: left thin, right thin, top thin, bottom thin;'
FONT = 'font: name 宋体, height 200;'
TITLE = xlwt.easyxf('font: name 黑体, bold on, height 320; align: horiz left, vert center')
NOTE = xlwt.easyxf(FONT + 'align: horiz left, vert center')
HEADER = xlwt.easyxf('font: name 宋体, bold on, height 200; align: horiz center, vert center, wrap on;'
                     'pattern: pattern solid, fore_colour gray25;' + BORDER)
LABEL = xlwt.easyxf(FONT + 'align: horiz left, vert center, wrap on;' + BORDER)
TOTAL_LABEL = xlwt.easyxf('font: name 宋体, bold on, height 200; align: horiz left, vert center, wrap on;'
                          + BORDER)
TEXT = xlwt.easyxf(FONT + 'align: horiz left, vert center;' + BORDER)
COUNT = xlwt.easyxf(FONT + 'align: horiz right, vert center;' + BORDER, num_format_str='#,##0')
AREA = xlwt.easyxf(FONT + 'align: horiz right, vert center;' + BORDER, num_format_str='#,##0.00')
AMOUNT = xlwt.easyxf(FONT + 'align: horiz right, vert center;' + BORDER, num_format_str='#,##0.00')
PERCENT = xlwt.easyxf(FONT + 'align: horiz right, vert center;' + BORDER)
TOTAL_AMOUNT = xlwt.easyxf('font: name 宋体, bold on, height 200; align: horiz right, vert center;' + BORDER,
                           num_format_str='#,##0.00')
TOTAL_COUNT = xlwt.easyxf('font: name 宋体, bold on, height 200; align: horiz right, vert center;' + BORDER,
                          num_format_str='#,##0')

AMOUNT_NOTE = '金额单位：万元；面积单位：平方米；数量单位：件、个'


def column_letter(col):
    name = ''
    col += 1
    while col:
        col, rest = divmod(col - 1, 26)
        name = chr(ord('A') + rest) + name
    return name


def head(ws, r1, c1, r2, c2, text, style=HEADER):
    """A heading over rows r1..r2 and columns c1..c2 (merged when more than one cell)."""
    if r1 == r2 and c1 == c2:
        ws.write(r1, c1, text, style)
    else:
        ws.write_merge(r1, r2, c1, c2, text, style)


def title(ws, text, last_col, note=AMOUNT_NOTE):
    ws.portrait = False
    ws.write_merge(0, 0, 0, last_col, text, TITLE)
    ws.row(0).height_mismatch = True
    ws.row(0).height = 600
    if note:
        ws.write_merge(1, 1, 0, last_col, note, NOTE)


def widths(ws, columns):
    for col, width in columns.items():
        ws.col(col).width = width * 256


def column_formats(ws, columns):
    """Default formats of whole columns, for the rows that a list writer adds."""
    for col, style in columns.items():
        ws.col(col).set_style(style)


def data_cells(ws, rows, cols, style_of):
    """Formatted empty cells that the writers fill; a written cell keeps the format."""
    for r in rows:
        for c in cols:
            ws.write(r, c, None, style_of(c))


def freeze(ws, row, col):
    ws.set_panes_frozen(True)
    ws.set_remove_splits(True)
    ws.set_horz_split_pos(row)
    ws.set_vert_split_pos(col)


def year_headings(ws, row, first_col, label):
    """A group heading over a total column and the five years."""
    head(ws, row, first_col, row, first_col + 5, label)
    head(ws, row + 1, first_col, row + 1, first_col, '合计')
    for k, year in enumerate(YEARS):
        head(ws, row + 1, first_col + 1 + k, row + 1, first_col + 1 + k, year)


def national_depot_sheet(wb):
    ws = wb.add_sheet('馆藏文物保存环境及库房建设')
    last = 27
    title(ws, '国家计委汇总表（一）  馆藏文物保存环境及库房建设项目', last,
          AMOUNT_NOTE + '；设施状况代码：0 无，1 差，2 一般，3 良好；每行一个项目')
    head(ws, 2, 0, 5, 0, '项目名称 [ 申报单位 ]')
    head(ws, 2, 1, 5, 1, '项目类别')
    head(ws, 2, 2, 5, 2, '项目类型')
    head(ws, 2, 3, 3, 7, '单位馆藏文物及库房现状')
    for col, text in zip(range(3, 8), ['藏品总数（件）', '一级文物（件）', '二级文物（件）', '三级文物（件）',
                                       '现有库房面积（平方米）']):
        head(ws, 4, col, 5, col, text)
    head(ws, 2, 8, 3, 9, '库房设施状况（代码）')
    head(ws, 4, 8, 5, 8, '消防、技防设施')
    head(ws, 4, 9, 5, 9, '文物保存设备')
    head(ws, 2, 10, 3, 12, '项目投资（万元）')
    for col, text in zip(range(10, 13), ['合计（国家、地方、其他）', '国家投资', '地方投资']):
        head(ws, 4, col, 5, col, text)
    head(ws, 2, 13, 5, 13, '新建库房面积（平方米）')
    head(ws, 2, 14, 5, 14, '库房建设预算（万元）')
    head(ws, 2, 15, 5, 15, '保护内容')
    head(ws, 2, 16, 5, 16, '安全消防预算（万元）')
    head(ws, 2, 17, 5, 17, '资金需求总额（万元）')
    yearly_pairs(ws, 2, 18)
    widths(ws, {0: 40, 1: 16, 2: 16, 15: 30})
    for col in list(range(3, 15)) + list(range(16, last + 1)):
        ws.col(col).width = 11 * 256
    column_formats(ws, {0: TEXT, 1: TEXT, 2: TEXT, 3: COUNT, 4: COUNT, 5: COUNT, 6: COUNT, 7: AREA, 8: TEXT,
                        9: TEXT, 10: AMOUNT, 11: AMOUNT, 12: AMOUNT, 13: AREA, 14: AMOUNT, 15: TEXT,
                        16: AMOUNT, 17: AMOUNT, **{c: AMOUNT for c in range(18, last + 1)}})
    freeze(ws, 6, 1)


def yearly_pairs(ws, row, first_col):
    """Yearly state and local funds, one pair of columns per year from 2006 on."""
    head(ws, row, first_col, row + 1, first_col + 9, '分年度资金需求（万元）')
    for k, year in enumerate(YEARS):
        col = first_col + 2 * k
        head(ws, row + 2, col, row + 2, col + 1, year)
        head(ws, row + 3, col, row + 3, col, '国家')
        head(ws, row + 3, col + 1, row + 3, col + 1, '地方')


def national_site_sheet(wb):
    ws = wb.add_sheet('大遗址保护')
    last = 22
    title(ws, '国家计委汇总表（二）  大遗址保护项目', last, AMOUNT_NOTE + '；每行一个项目')
    head(ws, 2, 0, 5, 0, '项目名称 [ 申报单位 ]')
    head(ws, 2, 1, 5, 1, '项目类别')
    head(ws, 2, 2, 3, 5, '遗址概况')
    for col, text in zip(range(2, 6), ['遗址总面积（平方米）', '核心区面积（平方米）', '遗址年代', '遗址类型']):
        head(ws, 4, col, 5, col, text)
    head(ws, 2, 6, 3, 8, '项目投资（万元）')
    for col, text in zip(range(6, 9), ['合计（国家、地方、其他）', '国家投资', '地方投资']):
        head(ws, 4, col, 5, col, text)
    head(ws, 2, 9, 5, 9, '备注')
    head(ws, 2, 10, 3, 11, '本体保护')
    head(ws, 4, 10, 5, 10, '保护面积（平方米）')
    head(ws, 4, 11, 5, 11, '保护内容')
    head(ws, 2, 12, 5, 12, '资金需求总额（万元）')
    yearly_pairs(ws, 2, 13)
    widths(ws, {0: 40, 1: 16, 4: 14, 5: 14, 9: 12, 11: 30})
    for col in [2, 3, 6, 7, 8, 10, 12] + list(range(13, last + 1)):
        ws.col(col).width = 11 * 256
    column_formats(ws, {0: TEXT, 1: TEXT, 2: AREA, 3: AREA, 4: TEXT, 5: TEXT, 6: AMOUNT, 7: AMOUNT, 8: AMOUNT,
                        9: TEXT, 10: AREA, 11: TEXT, 12: AMOUNT, **{c: AMOUNT for c in range(13, last + 1)}})
    freeze(ws, 6, 1)


def national_summary(path):
    wb = xlwt.Workbook(encoding='utf-8')
    national_depot_sheet(wb)
    national_site_sheet(wb)
    wb.save(path)


def attribute_sheet(wb):
    ws = wb.add_sheet('按项目属性')
    last = 39
    title(ws, '“十一五”文物保护资金需求汇总表（按项目属性）', last, '金额单位：万元；项目数单位：个')
    head(ws, 2, 0, 4, 0, '项目属性')
    head(ws, 2, 1, 4, 1, '项目数')
    head(ws, 2, 2, 4, 2, '资金需求合计')

    def unit_type_block(first, type_name, class_names, class_pairs):
        head(ws, 2, first, 2, first + 8, type_name)
        head(ws, 3, first, 4, first, '小计')
        for (col, name) in zip(class_pairs, class_names):
            head(ws, 3, col, 3, col + 1, name)
            head(ws, 4, col, 4, col, '古建、石窟（石刻）、近现代保护类')
            head(ws, 4, col + 1, 4, col + 1, '安全消防类')
        for col in (first + 3, first + 4):  # no figures of their own
            head(ws, 3, col, 4, col, '—')
            ws.col(col).hidden = True

    unit_type_block(3, '古建筑、石窟寺及石刻类单位',
                    ['全国重点文物保护单位', '省级、市级文物保护单位', '县级文物保护单位及未定级不可移动文物'],
                    [4, 8, 10])
    unit_type_block(12, '古遗址、古墓葬类单位',
                    ['全国重点文物保护单位', '省级、市级文物保护单位', '县级文物保护单位及未定级不可移动文物'],
                    [13, 17, 19])
    head(ws, 2, 21, 2, 30, '考古发掘类项目')
    head(ws, 3, 21, 4, 21, '小计')
    for k, name in enumerate(EXCAVATION_TYPES):
        head(ws, 3, 22 + k, 4, 22 + k, name)
    head(ws, 2, 31, 2, 37, '博物馆、纪念馆类单位')
    head(ws, 3, 31, 4, 31, '小计')
    for col, name in zip((32, 34, 36), ['一级博物馆', '二级博物馆', '三级博物馆']):
        head(ws, 3, col, 3, col + 1, name)
        head(ws, 4, col, 4, col, '博物馆类')
        head(ws, 4, col + 1, 4, col + 1, '安全消防类')
    head(ws, 2, 38, 4, 38, '珍贵文物征集类项目')
    head(ws, 2, 39, 4, 39, '馆藏一、二文物及重要出土文物保护类项目')
    for k, name in enumerate(ATTRIBUTES):
        ws.write(5 + k, 0, name, LABEL)
    data_cells(ws, range(5, 11), range(1, last + 1), lambda c: COUNT if c == 1 else AMOUNT)
    ws.write(11, 0, '合计', TOTAL_LABEL)
    for col in range(1, last + 1):
        letter = column_letter(col)
        ws.write(11, col, xlwt.Formula('SUM(%s6:%s11)' % (letter, letter)), TOTAL_COUNT if col == 1 else TOTAL_AMOUNT)
    widths(ws, {0: 18})
    for col in range(1, last + 1):
        if not ws.col(col).hidden:
            ws.col(col).width = 12 * 256
    ws.row(4).height_mismatch = True
    ws.row(4).height = 900
    freeze(ws, 5, 1)


def fund_detail_sheet(wb):
    ws = wb.add_sheet('按项目类别及年度')
    last = 18
    title(ws, '“十一五”文物保护资金需求汇总表（按项目类别及年度）', last, '金额单位：万元；项目数单位：个')
    head(ws, 2, 0, 3, 0, '项目类别')
    head(ws, 2, 1, 3, 1, '项目数')
    head(ws, 2, 2, 2, 6, '项目投资及资金需求')
    for col, text in zip(range(2, 7), ['投资合计', '国家投资', '地方投资', '其他投资', '资金需求总额']):
        head(ws, 3, col, 3, col, text)
    year_headings(ws, 2, 7, '国家资金需求')
    year_headings(ws, 2, 13, '地方资金需求')
    labels = {
        4: ('古建、石窟（石刻）、近现代保护类与遗址、墓葬保护类合计', True),
        5: ('古建、石窟（石刻）、近现代保护类', True),
        6: ('　其中：全国重点文物保护单位', False),
        7: ('　　　　省级文物保护单位', False),
        8: ('　　　　市级文物保护单位', False),
        9: ('　　　　县级文物保护单位及未定级不可移动文物', False),
        10: ('遗址、墓葬保护类', True),
        11: ('　其中：全国重点文物保护单位', False),
        12: ('　　　　省级文物保护单位', False),
        13: ('考古发掘类', True),
        14: ('馆藏一、二文物及重要出土文物保护类与珍贵文物征集类合计', True),
        15: ('馆藏一、二文物及重要出土文物保护类', True),
        16: ('珍贵文物征集类', True),
        17: ('博物馆类', True),
        18: ('　其中：一级博物馆', False),
        19: ('　　　　二级博物馆', False),
        20: ('　　　　三级博物馆', False),
        21: ('安全消防类', True),
        22: ('　其中：一级风险单位', False),
        23: ('　　　　二级风险单位', False),
        24: ('　安全消防类中的博物馆：', False),
        25: ('　　　　一级博物馆', False),
        26: ('　　　　二级博物馆', False),
        27: ('　　　　三级博物馆', False),
    }
    for row, (text, bold) in labels.items():
        ws.write(row, 0, text, TOTAL_LABEL if bold else LABEL)
    data_cells(ws, [r for r in range(4, 28) if r != 24], range(1, last + 1), lambda c: COUNT if c == 1 else AMOUNT)
    data_cells(ws, [24], range(1, last + 1), lambda c: LABEL)
    widths(ws, {0: 60})
    for col in range(1, last + 1):
        ws.col(col).width = 11 * 256
    freeze(ws, 4, 1)


def security_sheet(wb):
    ws = wb.add_sheet('单位安全状况')
    last = 29
    title(ws, '“十一五”文物单位安全状况及安全消防资金需求汇总表'
              '（单位数单位：个；面积单位：平方米；金额单位：万元）', last, note=None)
    head(ws, 1, 0, 2, 0, '单位级别')
    head(ws, 1, 1, 2, 1, '单位类型')
    head(ws, 1, 2, 2, 2, '单位数')
    head(ws, 1, 3, 2, 3, '占地面积（平方米）')
    head(ws, 1, 4, 1, 6, '风险单位数')
    for col, text in zip(range(4, 7), ['合计', '一级风险单位', '二级风险单位']):
        head(ws, 2, col, 2, col, text)
    for k, device in enumerate(DEVICES):
        first = 7 + 4 * k
        head(ws, 1, first, 1, first + 3, device + '（按状况统计单位数）')
        for j, status in enumerate(STATUS_COLUMNS):
            head(ws, 2, first + j, 2, first + j, status)
    head(ws, 1, 27, 2, 27, '被盗次数')
    head(ws, 1, 28, 2, 28, '被盗文物数（件）')
    head(ws, 1, 29, 2, 29, '安全消防项目资金需求（万元）')
    ws.write(3, 0, '文物保护单位合计', TOTAL_LABEL)
    ws.write(3, 1, '全部类型', TOTAL_LABEL)
    classes = ['全国重点文物保护单位', '省级文物保护单位', '市级文物保护单位', '县级文物保护单位及未定级不可移动文物']
    for k, name in enumerate(classes):
        row = 4 + 2 * k
        ws.write_merge(row, row + 1, 0, 0, name, LABEL)
        ws.write(row, 1, '古建筑、石窟寺及石刻类', LABEL)
        ws.write(row + 1, 1, '古遗址、古墓葬类', LABEL)
    ws.write(12, 0, '博物馆合计', TOTAL_LABEL)
    ws.write(12, 1, '全部类型', TOTAL_LABEL)
    for k, name in enumerate(['一级博物馆', '二级博物馆', '三级博物馆']):
        ws.write(13 + k, 0, name, LABEL)
        ws.write(13 + k, 1, '全部类型', LABEL)
    data_cells(ws, range(3, 16), range(2, last + 1),
               lambda c: AREA if c == 3 else AMOUNT if c == 29 else COUNT)
    widths(ws, {0: 40, 1: 22})
    for col in range(2, last + 1):
        ws.col(col).width = 9 * 256
    ws.row(2).height_mismatch = True
    ws.row(2).height = 700
    freeze(ws, 3, 2)


def collections_sheet(wb):
    ws = wb.add_sheet('馆藏文物保存状况')
    last = 10
    title(ws, '“十一五”馆藏文物保存状况及资金需求汇总表（数量单位：件；金额单位：万元；比例为占该级文物总数的百分比）',
          last, note=None)
    head(ws, 1, 0, 2, 1, '文物级别')
    head(ws, 1, 2, 2, 2, '文物总数')
    head(ws, 1, 3, 2, 3, '—')
    ws.col(3).hidden = True  # no figures of its own
    for col, text in zip((4, 6, 8), ['轻微损坏', '严重损坏', '完好']):
        head(ws, 1, col, 1, col + 1, text)
        head(ws, 2, col, 2, col, '件数')
        head(ws, 2, col + 1, 2, col + 1, '比例')
    head(ws, 1, 10, 2, 10, '资金需求（万元）')
    for k, name in enumerate(['一级文物', '二级文物', '三级文物', '其他珍贵文物']):
        ws.write_merge(3 + k, 3 + k, 0, 1, name, LABEL)
    ws.write_merge(7, 7, 0, 1, '合计', TOTAL_LABEL)
    data_cells(ws, range(3, 8), range(2, last + 1),
               lambda c: PERCENT if c in (5, 7, 9) else AMOUNT if c == 10 else COUNT)
    widths(ws, {0: 8, 1: 10, 10: 16})
    for col in range(2, 10):
        ws.col(col).width = 11 * 256
    freeze(ws, 3, 2)


def project_list_sheet(wb):
    ws = wb.add_sheet('项目清单')
    last = 19
    title(ws, '“十一五”文物保护项目清单（按项目类别）', last,
          '金额单位：万元；各类别标题行为该类项目的合计，其下为该类的每个项目')
    head(ws, 2, 0, 3, 0, '序号、项目名称 [ 申报单位 ]')
    head(ws, 2, 1, 3, 1, '项目类别')
    head(ws, 2, 2, 3, 2, '项目类型')
    head(ws, 2, 3, 2, 7, '项目投资及资金需求')
    for col, text in zip(range(3, 8), ['投资合计', '国家投资', '地方投资', '其他投资', '资金需求总额']):
        head(ws, 3, col, 3, col, text)
    year_headings(ws, 2, 8, '国家资金需求')
    year_headings(ws, 2, 14, '地方资金需求')
    widths(ws, {0: 50, 1: 20, 2: 20})
    for col in range(3, last + 1):
        ws.col(col).width = 11 * 256
    column_formats(ws, {0: TEXT, 1: TEXT, 2: TEXT, **{c: AMOUNT for c in range(3, last + 1)}})
    freeze(ws, 4, 1)


def fund_demand_summary(path):
    wb = xlwt.Workbook(encoding='utf-8')
    attribute_sheet(wb)
    fund_detail_sheet(wb)
    security_sheet(wb)
    collections_sheet(wb)
    project_list_sheet(wb)
    wb.save(path)


def import_results(path):
    wb = xlwt.Workbook(encoding='utf-8')
    ws = wb.add_sheet('导入结果')
    last = 6
    title(ws, '导入结果  未能导入的文件及原因', last, note=None)
    # The batch's facts go in B2 (its id, over B2:C2), E2 and G2.
    for col, text in ((0, '批次'), (3, '导入时间'), (5, '导入类型')):
        ws.write(1, col, text, TOTAL_LABEL)
    ws.write_merge(1, 1, 1, 2, None, TEXT)
    for col in (4, 6):
        ws.write(1, col, None, TEXT)
    for col, text in enumerate(['文件', '单位代码', '单位名称', '结果', '原因', '元素', '值']):
        head(ws, 2, col, 2, col, text)
    widths(ws, {0: 28, 1: 14, 2: 30, 3: 14, 4: 60, 5: 36, 6: 24})
    column_formats(ws, {c: LABEL for c in range(0, last + 1)})
    freeze(ws, 3, 1)
    wb.save(path)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else 'templates'
    os.makedirs(folder, exist_ok=True)
    national_summary(os.path.join(folder, '国家计委汇总表.xls'))
    fund_demand_summary(os.path.join(folder, '十一五资金需求汇总表.xls'))
    import_results(os.path.join(folder, '导入结果.xls'))


if __name__ == '__main__':
    main()
