#include "xls/XlsWorkbook.h"

#include "XlsTestFiles.h"
#include "support/CaseName.h"
#include "xls/BiffRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
// The libreoffice fixture with its Workbook stream changed by edit.
QString EditedWorkbook(const QString& path, void (*edit)(QByteArray&))
{
    std::map<QString, QByteArray> entries = ReadCompoundEntries(TestDataFile("libreoffice-basic.xls"));
    edit(entries.at("Workbook"));
    WriteCompoundEntries(path, entries);
    return path;
}

// The first record of type in the Workbook stream after skip others of that type.
char* FindRecord(QByteArray& stream, quint16 type, int skip = 0)
{
    std::vector<BiffRecord> records;
    SplitRecords(stream, records);
    for (const BiffRecord& record : records)
        if (record.type == type && skip-- == 0)
            return stream.data() + record.offset + 4;
    ADD_FAILURE() << "no record " << type;
    return stream.data();
}

QString TextFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("项目,金额\n1,2\n");
    return path;
}

QString OlderBiff(const QString& path)
{
    return EditedWorkbook(path, [](QByteArray& s) { Biff::PutU16(s.data() + 4, 0x0500); });
}

QString Encrypted(const QString& path)
{
    return EditedWorkbook(path,
                          [](QByteArray& s)
                          {
                              QByteArray filePass;
                              const char data[6] = {0, 0, 1, 0, 1, 0};
                              Biff::AppendRecord(filePass, Biff::kFilePass, data, 6);
                              s.insert(20, filePass); // right after the BOF
                          });
}

// Half of a character outside the basic plane in the first shared string.
QString LoneSurrogate(const QString& path)
{
    return EditedWorkbook(path, [](QByteArray& s) { Biff::PutU16(FindRecord(s, Biff::kSst) + 11, 0xD800); });
}

struct BadFile
{
    const char* name;
    QString (*make)(const QString& path); // writes the file at path; null for a fixture or none
    const char* message;                  // followed by the path
    const char* reason = "";              // follows the path
    friend void PrintTo(const BadFile& c, std::ostream* out) { *out << c.name; }
};

class OpenWorkbook : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(OpenWorkbook, RefusesWhatIsNoExcel97Workbook)
{
    const BadFile& bad = GetParam();
    QTemporaryDir dir;
    QString path = TestDataFile(bad.name);
    if (bad.make != nullptr || !QFileInfo::exists(path))
        path = dir.filePath(bad.name);
    if (bad.make != nullptr)
        bad.make(path);
    XlsWorkbook book;
    EXPECT_EQ(ThrownMessage([&] { book.OpenWorkbook(path); }), bad.message + path + bad.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenWorkbook,
    ::testing::Values(
        BadFile{"missing.xls", nullptr, "无法打开工作簿:"},
        BadFile{"text.xls", TextFile, "不是有效的 Excel 97-2003 工作簿:"},
        BadFile{"xlsx-renamed.xls", nullptr, "不是有效的 Excel 97-2003 工作簿:"},
        BadFile{"gnumeric-biff7.xls", nullptr, "不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:"},
        BadFile{"biff5.xls", OlderBiff, "不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:"},
        BadFile{"encrypted.xls", Encrypted, "工作簿已加密，不能写入:"},
        BadFile{"lone-surrogate.xls", LoneSurrogate,
                "工作簿已损坏:", "（共享字符串 0 含有不成对的 UTF-16 代理）"},
        // Its DocumentSummaryInformation stream's block chain is shorter than its size.
        BadFile{"../findings/damaged-summary-stream.xls", nullptr,
                "工作簿已损坏:", "（无法读取其中的 DocumentSummaryInformation 流）"}),
    [](const ::testing::TestParamInfo<BadFile>& c) { return TestName({c.param.name}); });

struct DamagedTemplate
{
    const char* name;
    void (*damage)(QByteArray& stream);
    const char* reason;
    friend void PrintTo(const DamagedTemplate& c, std::ostream* out) { *out << c.name; }
};

class SaveDamagedTemplate : public ::testing::TestWithParam<DamagedTemplate>
{
};

// Spreadsheet programs refuse such a file or show it wrongly, though the writer could fill it.
TEST_P(SaveDamagedTemplate, RefusesWithTheTemplateAndTheFaultAndKeepsTheEarlierFile)
{
    QTemporaryDir dir;
    const QString path = EditedWorkbook(dir.filePath("模板.xls"), GetParam().damage);
    const QString output = dir.filePath("output.xls");
    QFile earlier(output);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    XlsWorkbook book;
    book.OpenWorkbook(path);
    EXPECT_EQ(ThrownMessage([&] { book.SaveWorkbook(output); }),
              "工作簿已损坏:" + path + "（" + GetParam().reason + "）");
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"output.xls", "模板.xls"}));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SaveDamagedTemplate,
    ::testing::Values(DamagedTemplate{"cell format out of range",
                                      [](QByteArray& s)
                                      { Biff::PutU16(FindRecord(s, Biff::kLabelSst) + 4, 0xA815); },
                                      "第1张工作表 A1:单元格格式 43029 超出范围，共 25 个"},
                      DamagedTemplate{"shared string out of range",
                                      [](QByteArray& s)
                                      { Biff::PutU32(FindRecord(s, Biff::kLabelSst, 1) + 6, 5000); },
                                      "第1张工作表 A2:共享字符串 5000 超出范围，共 4 个"},
                      // A sheet the writer does not fill keeps its position from the template.
                      DamagedTemplate{"chart sheet position",
                                      [](QByteArray& s)
                                      {
                                          char* sheet = FindRecord(s, Biff::kBoundSheet, 1);
                                          Biff::PutU32(sheet, Biff::U32(sheet) + 1);
                                          sheet[5] = 2;
                                      },
                                      "第2张工作表的位置 2196 处不是工作表的开头"}),
    [](const ::testing::TestParamInfo<DamagedTemplate>& c) { return TestName({c.param.name}); });

TEST(XlsWorkbookErrors, RefusesPositionsAndSheetsOutsideTheWorkbook)
{
    XlsWorkbook none;
    EXPECT_EQ(ThrownMessage([&] { none.Sheets(); }), "没有打开的工作簿");
    XlsWorkbook book;
    book.OpenWorkbook(TestDataFile("xlwt-basic.xls"));
    Worksheet& sheet = book.Sheets().SheetAt(0);
    EXPECT_EQ(ThrownMessage([&] { book.Sheets().SheetAt(2); }), "工作表序号超出范围:2");
    EXPECT_EQ(ThrownMessage([&] { book.Sheets().SheetAt(-1); }), "工作表序号超出范围:-1");
    EXPECT_EQ(ThrownMessage([&] { sheet.WriteNumber(0, 65536, 0, 1); }), "行号超出范围(0-65535):65536");
    EXPECT_EQ(ThrownMessage([&] { sheet.WriteText(256, 0, 0, "x"); }), "列号超出范围(0-255):256");
    EXPECT_EQ(ThrownMessage([&] { sheet.WriteText(0, -1, 0, "x"); }), "行号超出范围(0-65535):-1");
    EXPECT_EQ(ThrownMessage([&] { sheet.ReadCell(-1, 0); }), "列号超出范围(0-255):-1");
    EXPECT_EQ(ThrownMessage([&] { sheet.WriteText(0, 9, 0, QString(32768, 'x')); }),
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
    EXPECT_EQ(ThrownMessage([&] { book.SaveWorkbook(missingFolder); }).left(8), "无法保存工作簿:");
    EXPECT_FALSE(QFile::exists(missingFolder));

    // A folder where the file should go cannot be replaced: it stays, and no temporary file is left.
    QDir(dir.path()).mkdir("taken.xls");
    const QString taken = dir.filePath("taken.xls");
    EXPECT_EQ(ThrownMessage([&] { book.SaveWorkbook(taken); }).left(8), "无法保存工作簿:");
    EXPECT_TRUE(QFileInfo(taken).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}
} // namespace
