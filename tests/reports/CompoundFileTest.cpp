#include "reports/CompoundFile.h"

#include "XlsTestFiles.h"
#include "reports/XlsWorkbook.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
QByteArray Bytes(int size, char seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 7);
    return bytes;
}

QByteArray ClassId(char seed)
{
    return "clsid:" + Bytes(16, seed);
}

// Every other stream and storage of the compound file, their class ids included, survives a fill
// unchanged: streams at the mini-stream boundary (4095 and 4096 bytes), empty and large ones,
// names starting with control characters, nested storages, a workbook called "WORKBOOK".
TEST(CompoundFile, CopiesEveryOtherStreamAndStorageUnchanged)
{
    QTemporaryDir dir;
    std::map<QString, QByteArray> entries = ReadCompoundEntries(TestDataFile("libreoffice-basic.xls"));
    const QByteArray workbook = entries.at("Workbook");
    entries.erase("Workbook");
    entries["WORKBOOK"] = workbook;
    entries[""] = ClassId(1);
    entries[QString("\001CompObj")] = Bytes(4095, 2);
    entries["Data4096"] = Bytes(4096, 3);
    entries["Empty"] = QByteArray();
    entries["Large"] = Bytes(100000, 4);
    entries["_VBA_PROJECT_CUR"] = ClassId(5);
    entries["_VBA_PROJECT_CUR/VBA"] = ClassId(6);
    entries["_VBA_PROJECT_CUR/VBA/dir"] = Bytes(5000, 7);
    entries["_VBA_PROJECT_CUR/PROJECT"] = Bytes(300, 8);
    const QString input = dir.filePath("input.xls");
    WriteCompoundEntries(input, entries);

    XlsWorkbook book;
    book.OpenWorkbook(input);
    book.Sheets().SheetAt(0).WriteText(0, 20, 0, "填写");
    const QString output = dir.filePath("output.xls");
    book.SaveWorkbook(output);

    std::map<QString, QByteArray> saved = ReadCompoundEntries(output);
    ASSERT_TRUE(saved.count("WORKBOOK"));
    EXPECT_NE(saved.at("WORKBOOK"), workbook);
    saved.erase("WORKBOOK");
    entries.erase("WORKBOOK");
    EXPECT_EQ(saved, entries);
}

// Gnumeric's default writes an Excel 5.0/95 copy ("Book") beside the Workbook stream: it would show
// the unfilled template in old programs, so it is left out.
TEST(CompoundFile, LeavesOutTheExcel95CopyOfADualFormatFile)
{
    QTemporaryDir dir;
    XlsWorkbook book;
    book.OpenWorkbook(TestDataFile("gnumeric-dual.xls"));
    book.Sheets().SheetAt(0).WriteNumber(1, 1, 0, 99);
    const QString output = dir.filePath("output.xls");
    book.SaveWorkbook(output);
    const std::map<QString, QByteArray> saved = ReadCompoundEntries(output);
    EXPECT_TRUE(saved.count("Workbook"));
    EXPECT_FALSE(saved.count("Book"));
    book.OpenWorkbook(output);
    EXPECT_EQ(book.Sheets().SheetAt(0).ReadCell(1, 1), "99");
}
} // namespace
