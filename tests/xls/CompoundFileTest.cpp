#include "XlsTestFiles.h"

#include <gtest/gtest.h>

namespace
{
class CompoundFileCopy : public WorkbookFill
{
};

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
TEST_F(CompoundFileCopy, CopiesEveryOtherStreamAndStorageUnchanged)
{
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
    const QString input = m_dir.filePath("input.xls");
    WriteCompoundEntries(input, entries);

    Open(input).WriteText(0, 20, 0, "填写");
    EXPECT_EQ(SaveAndReopen().ReadCell(0, 20), "填写");

    std::map<QString, QByteArray> saved = ReadCompoundEntries(m_dir.filePath("filled.xls"));
    ASSERT_TRUE(saved.count("WORKBOOK"));
    EXPECT_NE(saved.at("WORKBOOK"), workbook);
    saved.erase("WORKBOOK");
    entries.erase("WORKBOOK");
    EXPECT_EQ(saved, entries);
}

// Gnumeric's default writes an Excel 5.0/95 copy ("Book") beside the Workbook stream: it would show
// the unfilled template in old programs, so it is left out.
TEST_F(CompoundFileCopy, LeavesOutTheExcel95CopyOfADualFormatFile)
{
    Open(TestDataFile("gnumeric-dual.xls")).WriteNumber(1, 1, 0, 99);
    EXPECT_EQ(SaveAndReopen().ReadCell(1, 1), "99");
    const std::map<QString, QByteArray> saved = ReadCompoundEntries(m_dir.filePath("filled.xls"));
    EXPECT_TRUE(saved.count("Workbook"));
    EXPECT_FALSE(saved.count("Book"));
}
} // namespace
