#include "reports/ImportResults.h"
#include "xls/XlsWorkbook.h"

#include "xls/BiffVerifier.h"
#include "xls/ExternalReaders.h"
#include "xls/XlsTestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
LedgerFile File(int number, const QString& name, const QString& outcome, const QString& unitId,
                const QString& unitName, const LedgerMessages& messages = {})
{
    LedgerFile file;
    file.number = number;
    file.name = name;
    file.outcome = outcome;
    file.unitId = unitId;
    file.unitName = unitName;
    file.messages = messages;
    return file;
}

// A batch that meets every kind of refusal: a refused value, several messages, a file of the
// other kind and an unreadable one without a unit, and a unit whose name and id a file name
// cannot hold. The imported and unprocessed files are no one's to correct.
class ImportResults : public ::testing::Test
{
protected:
    ImportResults()
    {
        batch.id = "3f2a9c1e-7b44-4d0e-9a51-0c6d2e8f1a77";
        batch.kind = "units";
        batch.startedAt = "2026-12-10T06:00:00.000Z";
        files = {
            File(1, "a.dw", "imported", "U01", "华严寺文物保护管理所"),
            File(2, "b.dw", "failed", "U01", "华严寺文物保护管理所",
                 {{"U01的单位收藏信息失败:库房面积不是数字", {"Reserve/DepotArea", "abc"}},
                  {"另一条消息", {}}}),
            File(3, "c.xm", "not of this kind", "", ""),
            File(4, "d.dw", "failed", "U/02", "博物馆:东*区", {{"保存d.dw的数据失败:磁盘已满", {}}}),
            File(5, "e.dw", "not processed", "U03", "某馆"),
            File(6, "f.dw", "not loadable", "", "", {{"无法打开指定文件f.dw\n格式不正确", {}}}),
        };
    }
    QString Template() const { return TemplateFile("导入结果.xls"); }

    LedgerBatch batch;
    QVector<LedgerFile> files;
    QTemporaryDir dir;
};

// Rows from row 4 on: file, unit id, unit name, outcome, message, element, value.
const QStringList kAllRows[] = {
    {"b.dw", "U01", "华严寺文物保护管理所", "导入失败", "U01的单位收藏信息失败:库房面积不是数字",
     "Reserve/DepotArea", "abc"},
    {"b.dw", "U01", "华严寺文物保护管理所", "导入失败", "另一条消息", "", ""},
    {"c.xm", "", "", "类型不符", "类型不符", "", ""},
    {"d.dw", "U/02", "博物馆:东*区", "导入失败", "保存d.dw的数据失败:磁盘已满", "", ""},
    {"f.dw", "", "", "无法读取", "无法打开指定文件f.dw\n格式不正确", "", ""},
};

TEST_F(ImportResults, IndependentReadersSeeOneRowPerMessageOfEachRefusedFile)
{
    const QString path = dir.filePath("结果.xls");
    ExportRefusedFiles(batch, files, Template(), path);
    EXPECT_EQ(VerifyWorkbookStructure(path), QStringList());
    ASSERT_TRUE(HaveXlrd() && HaveSsconvert()) << "python3-xlrd and gnumeric are installed by make test";

    const QJsonObject book = ReadWithXlrd({path})[path].toObject();
    ASSERT_FALSE(book.contains("error")) << book["error"].toString().toStdString();
    std::map<std::pair<int, int>, QString> texts;
    for (const QJsonValue& cell : book["sheets"].toArray()[0].toObject()["cells"].toArray())
    {
        const QJsonArray c = cell.toArray();
        if (c[2].toInt() == 1) // text
            texts[{c[0].toInt(), c[1].toInt()}] = c[3].toString();
    }
    EXPECT_EQ(texts[std::make_pair(1, 1)], batch.id);
    EXPECT_EQ(texts[std::make_pair(1, 6)], "单位信息");
    EXPECT_TRUE(texts[std::make_pair(1, 4)].startsWith("2026-12-"))
        << texts[std::make_pair(1, 4)].toStdString();
    for (int r = 0; r < int(std::size(kAllRows)); ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(texts[std::make_pair(3 + r, c)], kAllRows[r][c]) << "row " << 3 + r << " col " << c;
    EXPECT_EQ(texts.count({3 + int(std::size(kAllRows)), 0}), 0u)
        << "imported and unprocessed files have no row";

    QTemporaryDir out;
    EXPECT_EQ(ConvertWithSsconvert({path}, out.path(), {1}), QStringList());
    if (FindSoffice().isEmpty())
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed: its check did not run";
    EXPECT_EQ(ConvertWithLibreOffice({path}, "csv:Text - txt - csv (StarCalc):44,34,76", out.path(),
                                     out.filePath("profile"), ".csv"),
              QStringList());
    QFile csv(out.filePath("结果.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(csv.readAll()).contains("Reserve/DepotArea,abc"));
}

TEST_F(ImportResults, EachUnitGetsAWorkbookNamedAfterItAndFilesWithoutAUnitShareOne)
{
    const QString folder = dir.filePath("各单位");
    const QStringList paths = ExportRefusedFilesPerUnit(batch, files, Template(), folder);
    EXPECT_EQ(paths, (QStringList{folder + "/华严寺文物保护管理所_U01.xls", folder + "/未知单位.xls",
                                  folder + "/博物馆_东_区_U_02.xls"}));
    // Which rows of kAllRows each workbook holds.
    const QList<QList<int>> rowsOf = {{0, 1}, {2, 4}, {3}};
    for (int k = 0; k < paths.size() && k < rowsOf.size(); ++k)
    {
        XlsWorkbook book;
        book.OpenWorkbook(paths[k]);
        Worksheet& sheet = book.Sheets().SheetAt(0);
        for (int r = 0; r < rowsOf[k].size(); ++r)
            for (int c = 0; c < 7; ++c)
                EXPECT_EQ(sheet.ReadCell(c, 3 + r), kAllRows[rowsOf[k][r]][c]) << paths[k].toStdString();
        EXPECT_EQ(sheet.ReadCell(0, 3 + int(rowsOf[k].size())), "") << paths[k].toStdString();
    }
}

TEST_F(ImportResults, ThousandsOfMessagesFillTheirRowsAndOverlongTextsAreCut)
{
    files.clear();
    const QString longText = QString(40000, QChar(0x6587));
    for (int f = 0; f < 500; ++f)
    {
        LedgerMessages messages;
        for (int m = 0; m < 8; ++m)
            messages.append(
                {QStringLiteral("第%1个文件第%2条").arg(f).arg(m), {"Basic/Name", QString::number(m)}});
        files.append(File(f + 1, QStringLiteral("%1.dw").arg(f), "failed", "U1", "某馆", messages));
    }
    files.back().messages.back().text = longText;
    const QString path = dir.filePath("多.xls");
    QElapsedTimer timer;
    timer.start();
    ExportRefusedFiles(batch, files, Template(), path);
    std::printf("4,000 rows exported in %lld ms\n", static_cast<long long>(timer.elapsed()));
    EXPECT_EQ(VerifyWorkbookStructure(path), QStringList());
    XlsWorkbook book;
    book.OpenWorkbook(path);
    Worksheet& sheet = book.Sheets().SheetAt(0);
    EXPECT_EQ(sheet.ReadCell(4, 3), "第0个文件第0条");
    EXPECT_EQ(sheet.ReadCell(6, 3 + 3998), "6");
    EXPECT_EQ(sheet.ReadCell(4, 3 + 3999), longText.left(32767));
    EXPECT_EQ(sheet.ReadCell(0, 3 + 4000), "");
}

TEST_F(ImportResults, AMissingTemplateIsNamedAndNothingIsWritten)
{
    const QString missing = dir.filePath("无/导入结果.xls");
    EXPECT_EQ(ThrownMessage([&] { ExportRefusedFiles(batch, files, missing, dir.filePath("r.xls")); }),
              "导出导入结果失败:找不到模板工作簿:" + missing);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}
} // namespace
