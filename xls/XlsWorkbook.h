#pragma once

#include "xls/Workbook.h"

#include <memory>

// The workbook writer for Excel 97-2003 files (BIFF8 in an OLE2 compound file). A template is
// edited in place: every record that is not a written cell stays as the template has it (formats,
// merged cells, column widths, fonts, formulas, names, other sheets), texts go into the shared
// strings, and the template's formulas are marked so that spreadsheet programs recalculate them
// on open. One workbook is open at a time.
class XlsWorkbook : public Workbook, public SheetCollection
{
public:
    XlsWorkbook();
    ~XlsWorkbook() override;

    // Opens the workbook at path, closing any open one first. Throws CorvaneError
    // "无法打开工作簿:" + path, "不是有效的 Excel 97-2003 工作簿:" + path,
    // "不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:" + path (BIFF5 and older),
    // "工作簿已加密，不能写入:" + path, or "工作簿已损坏:" + path + the name of a stream that
    // cannot be read whole or the shared string that holds half a character.
    void OpenWorkbook(const QString& path) override;

    // This object. Throws "没有打开的工作簿" when none is open.
    SheetCollection& Sheets() override;

    // Throws "没有打开的工作簿", "无法保存工作簿:" + path + the reason, or, leaving the file at
    // path as it was, "工作簿已损坏:" + the opened workbook's path + what CheckWorkbookStream found
    // wrong in the stream it would save.
    void SaveWorkbook(const QString& path) override;
    void CloseWorkbook() override;

    int Count() const override;
    // Throws "工作表序号超出范围:" + index, or "不是可以写入单元格的工作表:" + the sheet's name for a
    // chart, macro or module sheet.
    Worksheet& SheetAt(int index) override;

private:
    struct Content;
    Content& Open() const;
    std::unique_ptr<Content> m_content;
};
