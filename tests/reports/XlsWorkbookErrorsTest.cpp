#include "reports/XlsWorkbook.h"

#include "XlsTestFiles.h"
#include "reports/BiffRecord.h"
#include "services/CorvaneError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace
{
QString MessageOf(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const CorvaneError& error)
    {
        return error.Message();
    }
    return "(no error)";
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

// The libreoffice fixture with its Workbook stream changed by edit.
QString EditedWorkbook(const QTemporaryDir& dir, const QString& name,
                       const std::function<void(QByteArray&)>& edit)
{
    std::map<QString, QByteArray> entries = ReadCompoundEntries(TestDataFile("libreoffice-basic.xls"));
    edit(entries.at("Workbook"));
    const QString path = dir.filePath(name);
    WriteCompoundEntries(path, entries);
    return path;
}

TEST(XlsWorkbookErrors, RefusesFilesThatAreNoExcel97Workbook)
{
    QTemporaryDir dir;
    XlsWorkbook book;
    const QString text = WriteFile(dir, "text.xls", "项目,金额\n1,2\n");
    EXPECT_EQ(MessageOf([&] { book.OpenWorkbook(text); }), "不是有效的 Excel 97-2003 工作簿:" + text);
    const QString xlsx = TestDataFile("xlsx-renamed.xls");
    EXPECT_EQ(MessageOf([&] { book.OpenWorkbook(xlsx); }), "不是有效的 Excel 97-2003 工作簿:" + xlsx);
    const QString missing = dir.filePath("missing.xls");
    EXPECT_EQ(MessageOf([&] { book.OpenWorkbook(missing); }), "无法打开工作簿:" + missing);
    const QString biff7 = TestDataFile("gnumeric-biff7.xls");
    EXPECT_EQ(MessageOf([&] { book.OpenWorkbook(biff7); }),
              "不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:" + biff7);
    EXPECT_EQ(MessageOf([&] { book.Sheets(); }), "没有打开的工作簿");
}

TEST(XlsWorkbookErrors, RefusesAnOlderBiffVersionInTheWorkbookStream)
{
    QTemporaryDir dir;
    const QString path =
        EditedWorkbook(dir, "biff5.xls", [](QByteArray& s) { Biff::PutU16(s.data() + 4, 0x0500); });
    XlsWorkbook book;
    EXPECT_EQ(MessageOf([&] { book.OpenWorkbook(path); }),
              "不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:" + path);
}

TEST(XlsWorkbookErrors, RefusesAnEncryptedWorkbook)
{
    QTemporaryDir dir;
    const QString path = EditedWorkbook(dir, "encrypted.xls",
                                        [](QByteArray& s)
                                        {
                                            QByteArray filePass;
                                            const char data[6] = {0, 0, 1, 0, 1, 0};
                                            Biff::AppendRecord(filePass, Biff::kFilePass, data, 6);
                                            s.insert(20, filePass); // right after the BOF
                                        });
    XlsWorkbook book;
    EXPECT_EQ(MessageOf([&] { book.OpenWorkbook(path); }), "工作簿已加密，不能写入:" + path);
}

TEST(XlsWorkbookErrors, RefusesPositionsAndSheetsOutsideTheWorkbook)
{
    XlsWorkbook book;
    book.OpenWorkbook(TestDataFile("xlwt-basic.xls"));
    Worksheet& sheet = book.Sheets().SheetAt(0);
    EXPECT_EQ(MessageOf([&] { book.Sheets().SheetAt(2); }), "工作表序号超出范围:2");
    EXPECT_EQ(MessageOf([&] { book.Sheets().SheetAt(-1); }), "工作表序号超出范围:-1");
    EXPECT_EQ(MessageOf([&] { sheet.WriteNumber(0, 65536, 0, 1); }), "行号超出范围(0-65535):65536");
    EXPECT_EQ(MessageOf([&] { sheet.WriteText(256, 0, 0, "x"); }), "列号超出范围(0-255):256");
    EXPECT_EQ(MessageOf([&] { sheet.WriteText(0, -1, 0, "x"); }), "行号超出范围(0-65535):-1");
    EXPECT_EQ(MessageOf([&] { sheet.ReadCell(-1, 0); }), "列号超出范围(0-255):-1");
    EXPECT_EQ(MessageOf([&] { sheet.WriteText(0, 9, 0, QString(32768, 'x')); }),
              "文本超过 32767 个字符，不能写入单元格:汇总!A10");
}

// A save that cannot complete leaves what was at the target before, and no stray file.
TEST(XlsWorkbookErrors, FailedSaveLeavesNoHalfWrittenFile)
{
    QTemporaryDir dir;
    XlsWorkbook book;
    book.OpenWorkbook(TestDataFile("xlwt-basic.xls"));
    book.Sheets().SheetAt(0).WriteNumber(1, 2, 0, 5);
    const QString missingFolder = dir.filePath("no/such/folder/out.xls");
    EXPECT_EQ(MessageOf([&] { book.SaveWorkbook(missingFolder); }).left(8), "无法保存工作簿:");
    EXPECT_FALSE(QFile::exists(missingFolder));

    // A folder where the file should go cannot be replaced: it stays, and no temporary file is left.
    QDir(dir.path()).mkdir("taken.xls");
    const QString taken = dir.filePath("taken.xls");
    EXPECT_EQ(MessageOf([&] { book.SaveWorkbook(taken); }).left(8), "无法保存工作簿:");
    EXPECT_TRUE(QFileInfo(taken).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}
} // namespace
