#include "reports/GenerateReports.h"
#include "xls/XlsWorkbook.h"

#include "FakeWorkbook.h"
#include "ReportDatabase.h"
#include "xls/BiffVerifier.h"
#include "xls/ExternalReaders.h"
#include "xls/XlsTestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
const QString kNational = QStringLiteral("国家计委汇总表");
const QString kFundDemand = QStringLiteral("十一五资金需求汇总表");

// A run of the real writer on the real templates, over a few rows that reach every sheet.
class ReportRun : public ::testing::Test
{
protected:
    ReportRun()
    {
        data.AddUnit("U1", "某市博物馆", 10, 11, 10);
        data.AddUnit("U2", "某遗址管理处", 20, 12, 20);
        data.Insert("dat_corp_reserve", {{"corpid", "U1"},
                                         {"totalnum1", 100},
                                         {"slightdamagednum1", 10},
                                         {"goodnum1", 80},
                                         {"severedamagednum1", 10},
                                         {"funddemand1", 12.5}});
        data.Insert("dat_corp_security", {{"corpid", "U1"}, {"corparea", 500}, {"waterdevstatus", 3}});
        data.AddProject("U1_1", "U1", "库房改造", 81, {{"attribute", 1}}, {100, 50, 0, 150});
        data.AddFundYear("U1_1", 2006, 60, 20);
        data.AddProject("U2_1", "U2", "大殿维修", 11, {{"attribute", 2}}, {30, 20, 10, 60});
        data.AddFundYear("U2_1", 2007, 30, 20);
        data.AddProject("U2_2", "U2", "遗址保护", 91, {{"attribute", 2}}, {5, 5, 5, 15});
    }

    QString Output(const QString& title) const { return ReportOutputPath(data.settings, title); }
    QString Run()
    {
        return ThrownMessage([&] { GenerateReports(data.settings, sink); });
    }
    // A cell of a saved workbook as the writer reads it back.
    static QString Cell(const QString& path, int sheet, int col, int row)
    {
        XlsWorkbook book;
        book.OpenWorkbook(path);
        return book.Sheets().SheetAt(sheet).ReadCell(col, row);
    }
    void ExpectFilledCells()
    {
        EXPECT_EQ(Cell(Output(kNational), 0, 0, 6), "库房改造 [ 某市博物馆 ]");
        EXPECT_EQ(Cell(Output(kNational), 0, 18, 6), "60");
        EXPECT_EQ(Cell(Output(kNational), 1, 12, 6), "15");
        EXPECT_EQ(Cell(Output(kFundDemand), 0, 2, 6), "60");
        EXPECT_EQ(Cell(Output(kFundDemand), 1, 9, 4), "30");
        EXPECT_EQ(Cell(Output(kFundDemand), 2, 3, 4), "500");
        EXPECT_EQ(Cell(Output(kFundDemand), 3, 5, 3), "10.00%");
        EXPECT_EQ(Cell(Output(kFundDemand), 4, 0, 5), "1、大殿维修 [ 某遗址管理处 ]");
        EXPECT_EQ(Cell(Output(kFundDemand), 4, 0, 6), "二、遗址、墓葬保护类");
    }
    QStringList LocalFiles() const
    {
        return QDir(data.settings.LocalPath).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    ReportDatabase data;
    RecordingSink sink;
};

TEST_F(ReportRun, WritesBothWorkbooksUnderTheirDatedNames)
{
    EXPECT_EQ(Run(), "(no error)");
    EXPECT_EQ(sink.messages, (QStringList{"成功写入" + Output(kNational), "成功写入" + Output(kFundDemand)}));
    EXPECT_TRUE(Output(kNational).endsWith(QDate::currentDate().toString("MMdd") + ".xls"));
    ExpectFilledCells();
    for (const QString& path : {Output(kNational), Output(kFundDemand)})
        EXPECT_EQ(VerifyWorkbookStructure(path), QStringList()) << path.toStdString();
    EXPECT_EQ(LocalFiles(), (QStringList{"wenwu.mdb", QFileInfo(Output(kFundDemand)).fileName(),
                                         QFileInfo(Output(kNational)).fileName()}));
}

TEST_F(ReportRun, RunningAgainTheSameDayReplacesTheWorkbooks)
{
    ASSERT_EQ(Run(), "(no error)");
    data.AddProject("U1_2", "U1", "第二个库房", 81);
    ASSERT_EQ(Run(), "(no error)");
    EXPECT_EQ(Cell(Output(kNational), 0, 0, 7), "第二个库房 [ 某市博物馆 ]");
    EXPECT_EQ(sink.messages.size(), 4);
}

TEST_F(ReportRun, AnImportCommittedDuringTheRunShowsInNoSheet)
{
    CommittingWorkbook quiet;
    GenerateReports(data.settings, quiet, sink);
    CommittingWorkbook busy(
        [&]
        {
            data.AddProject("U2_3", "U2", "新的大殿", 11, {{"attribute", 2}}, {7, 7, 7, 21});
            data.AddFundYear("U2_3", 2008, 7, 7);
            data.AddFundYear("U1_1", 2009, 1, 1);
        });
    GenerateReports(data.settings, busy, sink);
    EXPECT_EQ(busy.BothWorkbooks(), quiet.BothWorkbooks());
}

TEST_F(ReportRun, IndependentReadersOpenTheWorkbooks)
{
    ASSERT_EQ(Run(), "(no error)");
    const QStringList files = {Output(kNational), Output(kFundDemand)};
    ASSERT_TRUE(HaveXlrd() && HaveSsconvert()) << "python3-xlrd and gnumeric are installed by make test";
    const QJsonObject xlrd = ReadWithXlrd(files);
    for (const QString& file : files)
        EXPECT_FALSE(xlrd[file].toObject().contains("error"))
            << xlrd[file].toObject()["error"].toString().toStdString();
    QTemporaryDir out;
    EXPECT_EQ(ConvertWithSsconvert(files, out.path(), {2, 5}), QStringList());

    if (FindSoffice().isEmpty())
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed: its check did not run";
    QTemporaryDir profile;
    EXPECT_EQ(ConvertWithLibreOffice(files, "csv:Text - txt - csv (StarCalc):44,34,76", out.path(),
                                     profile.path(), ".csv"),
              QStringList());
    QFile csv(out.filePath(QFileInfo(Output(kNational)).completeBaseName() + ".csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(csv.readAll()).contains("库房改造 [ 某市博物馆 ]"));
}

TEST_F(ReportRun, FillsTemplatesSavedByGnumericAndLibreOffice)
{
    ASSERT_TRUE(HaveSsconvert());
    QTemporaryDir work;
    for (const QString& title : {kNational, kFundDemand})
    {
        const QString target = data.settings.AppFolder + title + ".xls";
        QFile::remove(target);
        ASSERT_EQ(QProcess::execute("ssconvert", {"-T", "Gnumeric_Excel:excel_biff8",
                                                  TemplateFile(title + ".xls"), target}),
                  0);
    }
    ASSERT_EQ(Run(), "(no error)");
    ExpectFilledCells();
    for (const QString& path : {Output(kNational), Output(kFundDemand)})
        EXPECT_EQ(VerifyWorkbookStructure(path), QStringList())
            << "Gnumeric's template " << path.toStdString();

    if (FindSoffice().isEmpty())
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed: its templates were not tried";
    ASSERT_EQ(ConvertWithLibreOffice({TemplateFile(kNational + ".xls"), TemplateFile(kFundDemand + ".xls")},
                                     "xls:MS Excel 97", work.path(), work.filePath("profile"), ".xls"),
              QStringList());
    for (const QString& title : {kNational, kFundDemand})
    {
        const QString target = data.settings.AppFolder + title + ".xls";
        QFile::remove(target);
        ASSERT_TRUE(QFile::copy(work.filePath(title + ".xls"), target));
    }
    ASSERT_EQ(Run(), "(no error)");
    ExpectFilledCells();
    for (const QString& path : {Output(kNational), Output(kFundDemand)})
        EXPECT_EQ(VerifyWorkbookStructure(path), QStringList())
            << "LibreOffice's template " << path.toStdString();
}

TEST_F(ReportRun, TextsTooLongForACellAreCutAndNamedOnceAfterEachWorkbook)
{
    // 40,000 characters, an emoji on the limit of the national summary's cell.
    const QString name = QString(32766, QChar(0x6587)) + QString::fromUtf8("\U0001F600") + QString(7232, 'x');
    data.Open()
        ->Execute("update dat_project_info set name = ? where projectid in ('U1_1', 'U2_1')", {name})
        .finish();
    ASSERT_EQ(Run(), "(no error)");
    EXPECT_EQ(
        sink.messages,
        QStringList({"成功写入" + Output(kNational),
                     "国家计委汇总表:以下单元格的文本超过 32767 个字符，只写入了前 32767 个字符:\n"
                     "第1张工作表 A7（项目 U1_1）",
                     "成功写入" + Output(kFundDemand),
                     "十一五资金需求汇总表:以下单元格的文本超过 32767 个字符，只写入了前 32767 个字符:\n"
                     "第5张工作表 A6（项目 U2_1）"}));
    EXPECT_EQ(Cell(Output(kNational), 0, 0, 6), name.left(32766)) << "the emoji is not split";
    EXPECT_EQ(Cell(Output(kFundDemand), 4, 0, 5), "1、" + name.left(32765));
    EXPECT_EQ(Cell(Output(kFundDemand), 4, 0, 6), "二、遗址、墓葬保护类");
    EXPECT_EQ(Cell(Output(kNational), 1, 0, 6), "遗址保护 [ 某遗址管理处 ]");
}

TEST_F(ReportRun, AMissingTemplateStopsTheRunAndKeepsTheEarlierWorkbook)
{
    data.WriteFile(Output(kNational), "earlier");
    QFile::remove(data.settings.AppFolder + kNational + ".xls");
    EXPECT_EQ(Run(),
              "生成国家计委汇总表失败:找不到模板工作簿:" + data.settings.AppFolder + kNational + ".xls");
    EXPECT_TRUE(sink.messages.isEmpty());
    QFile earlier(Output(kNational));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");
    EXPECT_FALSE(QFile::exists(Output(kFundDemand))) << "the fund-demand summary is not attempted";
}

TEST_F(ReportRun, AFailedQueryLeavesNoHalfWrittenWorkbook)
{
    data.WriteFile(Output(kFundDemand), "earlier");
    data.Open()->Execute("drop view funddetail7").finish();
    const QString message = Run();
    EXPECT_TRUE(message.startsWith("生成十一五资金需求汇总表失败:查询失败:")) << message.toStdString();
    EXPECT_TRUE(message.contains("funddetail7")) << message.toStdString();
    EXPECT_EQ(sink.messages, QStringList{"成功写入" + Output(kNational)});
    QFile earlier(Output(kFundDemand));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier");
    EXPECT_EQ(LocalFiles().size(), 3) << LocalFiles().join(' ').toStdString();
}

TEST_F(ReportRun, AnOutputThatCannotBeWrittenIsReported)
{
    QDir().mkpath(Output(kNational)); // a folder where the workbook should go
    const QString message = Run();
    EXPECT_TRUE(message.startsWith("生成国家计委汇总表失败:无法保存工作簿:" + Output(kNational)))
        << message.toStdString();
    EXPECT_TRUE(sink.messages.isEmpty());
}

TEST_F(ReportRun, TheCommandLineWritesBothAndExitsZero)
{
    const QStringList arguments = {"--app-folder", data.settings.AppFolder, "--local-path",
                                   data.settings.LocalPath, "reports"};
    QProcess cli;
    cli.start(QStringLiteral(CORVANE_PROGRAM_DIR "/corvane-cli"), arguments);
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    // Without a config.pz the run goes on with the folders given.
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardOutput()), "配置文件错误，请重新配置\n成功写入" +
                                                                  Output(kNational) + "\n成功写入" +
                                                                  Output(kFundDemand) + "\n");

    QFile::remove(data.settings.AppFolder + kFundDemand + ".xls");
    cli.start(QStringLiteral(CORVANE_PROGRAM_DIR "/corvane-cli"), arguments);
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(cli.readAllStandardOutput())
                    .endsWith("生成十一五资金需求汇总表失败:找不到模板工作簿:" + data.settings.AppFolder +
                              kFundDemand + ".xls\n"));
}
} // namespace

namespace
{
TEST_F(ReportRun, ADamagedTemplateIsRefusedWithOnlyTheProgramsMessage)
{
    const QString target = data.settings.AppFolder + kNational + ".xls";
    QFile::remove(target);
    ASSERT_TRUE(QFile::copy(FindingFile("damaged-summary-stream.xls"), target));
    QProcess cli;
    cli.start(QStringLiteral(CORVANE_PROGRAM_DIR "/corvane-cli"),
              {"--app-folder", data.settings.AppFolder, "--local-path", data.settings.LocalPath, "reports"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(cli.readAllStandardOutput())
                    .endsWith("生成国家计委汇总表失败:工作簿已损坏:" + target +
                              "（无法读取其中的 DocumentSummaryInformation 流）\n"));
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardError()), "");
}
} // namespace
