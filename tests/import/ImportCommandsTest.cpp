#include "ImportFixture.h"
#include "ReportXml.h"
#include "UnitFileText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <memory>

namespace
{
// A run of corvane-cli on files written into the temporary folder. A ".dw" file holds the unit
// named after it, a ".xm" file a project of U01 named after it; "bad.dw" is not well-formed.
struct CommandCase
{
    const char* name;
    const char* command;
    const char* files;     // separated by spaces, relative to the temporary folder
    const char* arguments; // as files
    int exitCode;
    const char* shown;     // on stdout or stderr; %1 stands for the temporary folder
    int rows;              // of units and projects in the database afterwards
    const char* untouched; // files the run leaves where they were
    friend void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.name; }
};

QStringList Paths(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

class ImportCommands : public ImportFixture, public ::testing::WithParamInterface<CommandCase>
{
};

TEST_P(ImportCommands, FollowTheArgumentRules)
{
    const CommandCase& c = GetParam();
    for (const QString& file : Paths(c.files))
    {
        const QString id = QFileInfo(file).baseName();
        temp.WriteFile(file, id == QLatin1String("bad")            ? QByteArray("<CorpInfo>")
                             : file.endsWith(QLatin1String(".dw")) ? UnitFile(id)
                                                                   : ReportXml::Project("U01", id).Bytes());
    }
    QStringList arguments = {QStringLiteral("--app-folder"), temp.settings.AppFolder,
                             QStringLiteral("--local-path"), temp.settings.LocalPath,
                             QString::fromLatin1(c.command)};
    for (const QString& argument : Paths(c.arguments))
        arguments.append(temp.Folder() + argument);
    QProcess cli;
    cli.start(QStringLiteral(CORVANE_CLI), arguments);
    ASSERT_TRUE(cli.waitForFinished(30000));

    const QString shown =
        QString::fromUtf8(cli.readAllStandardOutput()) + QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), c.exitCode) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(c.shown).arg(temp.Folder()))) << shown.toStdString();
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_info")) + Rows(QStringLiteral("dat_project_info")), c.rows);
    for (const QString& file : Paths(c.untouched))
        EXPECT_TRUE(QFile::exists(temp.Folder() + file)) << file.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ImportCommands,
    ::testing::Values(
        // Written in reverse: only name order imports a.dw and then stops at bad.dw.
        CommandCase{"FolderGivesItsFilesInNameOrder", "import-units", "in/c.dw in/bad.dw in/a.dw", "in", 1,
                    "无法打开指定文件%1in/bad.dw\n格式不正确: 第1行第", 1, "in/c.dw"},
        CommandCase{"MissingFileIsReportedByTheBatch", "import-units", "in/a.dw", "in/a.dw in/gone.dw", 1,
                    "无法打开指定文件%1in/gone.dw\n文件不存在\n导入单位信息:操作完成！\n倒入成功1个文件", 1,
                    ""},
        CommandCase{"FilesFromSeveralFoldersAreAUsageError", "import-units", "in/a.dw other/b.dw",
                    "in/a.dw other/b.dw", 2, "一次只能导入同一文件夹中的文件", 0, "in/a.dw other/b.dw"},
        // The unit file beside them is not a project file.
        CommandCase{"ProjectsOfAFolder", "import-projects", "in/P07.xm in/P08.xm in/U01.dw", "in", 0,
                    "导入项目信息:操作完成！\n倒入成功2个文件\n倒入失败0个文件\n批次 ", 2, "in/U01.dw"}),
    CaseName<CommandCase>);
} // namespace

namespace
{
// The ledger read back after one import of a unit and a unit with a refused value, beside two
// older batches whose ids share their first 8 characters.
struct LedgerCase
{
    const char* name;
    const char* arguments; // separated by spaces; %1 is the temporary folder, %id the import's
                           // batch id and %short its first 8 characters
    int exitCode;
    const char* out;     // expected within stdout, or stderr for a usage error; %1 as above
    const char* absent;  // not within stdout
    const char* written; // a file the run writes, relative to the temporary folder
    friend void PrintTo(const LedgerCase& c, std::ostream* out) { *out << c.name; }
};

class LedgerCommands : public ImportFixture, public ::testing::WithParamInterface<LedgerCase>
{
protected:
    QString Run(const QStringList& command, int& exitCode)
    {
        QProcess cli;
        cli.start(QStringLiteral(CORVANE_CLI),
                  QStringList{QStringLiteral("--app-folder"), temp.settings.AppFolder,
                              QStringLiteral("--local-path"), temp.settings.LocalPath} +
                      command);
        EXPECT_TRUE(cli.waitForFinished(30000));
        exitCode = cli.exitCode();
        return QString::fromUtf8(cli.readAllStandardOutput()) + QString::fromUtf8(cli.readAllStandardError());
    }
};

TEST_P(LedgerCommands, ShowAndExportTheBatch)
{
    const LedgerCase& c = GetParam();
    ASSERT_TRUE(QFile::copy(QStringLiteral(CORVANE_TEMPLATE_DIR "/导入结果.xls"),
                            temp.settings.AppFolder + QStringLiteral("导入结果.xls")));
    temp.Open()
        ->Execute(QStringLiteral("insert into imp_batch(batch_id, kind, started_at, ended_at, files_listed) "
                                 "values ('abcdef12-0001', 'units', '2020-06-01T12:00:00.000Z', "
                                 "'2020-06-01T12:00:01.000Z', 0), ('abcdef12-0002', 'projects', "
                                 "'2020-06-02T12:00:00.000Z', NULL, 0)"))
        .finish();
    Write(QStringLiteral("a.dw"), UnitFile(QStringLiteral("U1")));
    Write(QStringLiteral("r.dw"),
          UnitFile(QStringLiteral("U2"), {{QStringLiteral("Reserve/DepotArea"), QStringLiteral("abc")}}));
    int exitCode = 0;
    const QString imported = Run({QStringLiteral("import-units"), temp.settings.ImportPath}, exitCode);
    const qsizetype at = imported.indexOf(QStringLiteral("\n批次 "));
    ASSERT_GE(at, 0) << imported.toStdString();
    const QString id = imported.mid(at + 4).trimmed();
    ASSERT_EQ(id.size(), 36) << imported.toStdString();

    QStringList arguments;
    for (QString argument : QString::fromUtf8(c.arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        arguments.append(argument.replace(QStringLiteral("%id"), id)
                             .replace(QStringLiteral("%short"), id.left(8))
                             .replace(QStringLiteral("%1"), temp.Folder()));
    const QString shown = Run(arguments, exitCode);
    EXPECT_EQ(exitCode, c.exitCode) << shown.toStdString();
    QString out = QString::fromUtf8(c.out);
    out.replace(QStringLiteral("%1"), temp.Folder()).replace(QStringLiteral("%id"), id);
    EXPECT_TRUE(shown.contains(out)) << shown.toStdString();
    if (*c.absent)
    {
        EXPECT_FALSE(shown.contains(QString::fromUtf8(c.absent))) << shown.toStdString();
    }
    if (*c.written)
    {
        EXPECT_TRUE(QFile::exists(temp.Folder() + QString::fromUtf8(c.written))) << c.written;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, LedgerCommands,
    ::testing::Values(
        LedgerCase{"BatchesCountTheImport", "batches", 0,
                   "单位信息  导入1 失败1 未处理0  新增1 更新0 未变化0", "", ""},
        LedgerCase{
            "BatchesNewestFirstAndMarkOneThatNeverEnded", "batches", 0,
            "项目信息（未结束）  导入0 失败0 未处理0  新增0 更新0 未变化0  -  abcdef12-0002\n2020-06-01 ", "",
            ""},
        LedgerCase{"BatchesLastKeepsTheNewest", "batches --last 1", 0, "%id", "abcdef12", ""},
        LedgerCase{"BatchesLastNeedsAPositiveNumber", "batches --last 0", 2, "--last 需要一个正整数", "", ""},
        LedgerCase{
            "BatchShowsEveryFile", "batch %short", 0,
            "文件2个: 导入1 失败1 未处理0  新增1 更新0 未变化0\n"
            "1  a.dw  U1 华严寺文物保护管理所  已导入  新增\n2  r.dw  U2 华严寺文物保护管理所  导入失败  -  ",
            "", ""},
        LedgerCase{"BatchFailedShowsTheRefusedValue", "batch --failed %id", 0,
                   "      元素 Reserve/DepotArea  值 abc", "a.dw", ""},
        LedgerCase{"BatchExportsTheRefusedFiles", "batch %short --export %1out.xls", 0, "成功写入%1out.xls",
                   "", "out.xls"},
        LedgerCase{"BatchExportsAWorkbookPerUnit", "batch %short --export-per-unit %1units", 0,
                   "成功写入%1units/华严寺文物保护管理所_U2.xls", "", "units/华严寺文物保护管理所_U2.xls"},
        LedgerCase{"UnknownBatch", "batch 00000000", 1, "找不到批次:00000000", "", ""},
        LedgerCase{"AmbiguousBatch", "batch abcdef12", 1, "有多个批次以此开头，请多给出几个字符:abcdef12", "",
                   ""},
        LedgerCase{"TooShortABatchId", "batch abc", 1, "批次号至少要给出前8个字符:abc", "", ""},
        LedgerCase{"OptionOfAnotherCommand", "batch %short --last 2", 2, "batch 不接受选项 --last", "", ""}),
    CaseName<LedgerCase>);
} // namespace

namespace
{
// Options of the command line: anywhere among the arguments, help and version on stdout.
struct OptionCase
{
    const char* name;
    const char* arguments; // separated by spaces; %1 is the temporary folder
    int exitCode;
    const char* out; // expected within stdout
    const char* err; // expected within stderr
    int rows;        // units in the database afterwards
    friend void PrintTo(const OptionCase& c, std::ostream* out) { *out << c.name; }
};

class CommandLineOptions : public ImportFixture, public ::testing::WithParamInterface<OptionCase>
{
};

TEST_P(CommandLineOptions, AreReadWhereverTheyStand)
{
    const OptionCase& c = GetParam();
    temp.WriteFile(QStringLiteral("in/a.dw"), UnitFile(QStringLiteral("U1")));
    QStringList arguments;
    for (const QString& argument : QString::fromUtf8(c.arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        arguments.append(argument.contains(QLatin1String("%1")) ? argument.arg(temp.Folder()) : argument);
    QProcess cli;
    cli.start(QStringLiteral(CORVANE_CLI), arguments);
    ASSERT_TRUE(cli.waitForFinished(30000));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), c.exitCode) << out.toStdString() << err.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8(c.out))) << out.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.err))) << err.toStdString();
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_info")), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CommandLineOptions,
    ::testing::Values(
        OptionCase{"HelpOnStdout", "--help", 0, "用法: corvane-cli", "", 0},
        OptionCase{"ShortHelpOnStdout", "-h", 0, "import-units FILE...|DIR", "", 0},
        OptionCase{"HelpAfterTheCommand", "import-units --help", 0, "用法: corvane-cli", "", 0},
        OptionCase{"Version", "--version", 0, "corvane-cli 0.1", "", 0},
        OptionCase{"UnknownOptionIsNamed", "--x import-units %1in", 2, "", "未知选项 (unknown option): --x",
                   0},
        OptionCase{"UnknownOptionAfterTheCommand", "import-units %1in --frobnicate", 2, "",
                   "未知选项 (unknown option): --frobnicate", 0},
        OptionCase{"UnknownCommandStaysACommand", "import-all %1in", 2, "", "未知命令: import-all", 0},
        OptionCase{"OptionsAfterTheCommand", "import-units --app-folder %1app --local-path %1local %1in", 0,
                   "倒入成功1个文件", "", 1},
        OptionCase{"OptionsOnBothSides", "--app-folder %1app import-units --local-path %1local %1in/a.dw", 0,
                   "倒入成功1个文件", "", 1},
        OptionCase{"DoubleDashEndsOptions",
                   "--app-folder %1app --local-path %1local import-units -- %1in/a.dw", 0, "倒入成功1个文件",
                   "", 1}),
    CaseName<OptionCase>);

// Inputs that once broke the program, replayed through the command line as a user meets them.
TEST_F(ImportFixture, FindingBadGbBytesGivesOnlyTheProgramsMessage)
{
    const QString copy = In(QStringLiteral("bad-gb-bytes.dw"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(CORVANE_TEST_DATA "/findings/bad-gb-bytes.dw"), copy));
    QProcess cli;
    cli.start(QStringLiteral(CORVANE_CLI),
              {QStringLiteral("--app-folder"), temp.settings.AppFolder, QStringLiteral("--local-path"),
               temp.settings.LocalPath, QStringLiteral("import-units"), copy});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardError()), QString());
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("无法打开指定文件") + copy + QStringLiteral("\n编码错误: ")))
        << out.toStdString();
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_info")), 0);
}

// The entity case must not grow with its expansion: the load refuses it before any text is read.
TEST_F(ImportFixture, EntityAmplificationStaysSmallInMemory)
{
    QByteArray text = "<?xml version=\"1.0\"?>\n<!DOCTYPE CorpInfo [<!ENTITY big \"" +
                      QByteArray(50000, 'x') + "\">]>\n<CorpInfo><Basic><CorpID>U9</CorpID><Name>";
    for (int i = 0; i < 25000; ++i)
        text += "&big;";
    Write(QStringLiteral("bomb.dw"), text + "</Name></Basic></CorpInfo>");
    QProcess cli;
    cli.start(QStringLiteral("/usr/bin/time"),
              {QStringLiteral("-f"), QStringLiteral("peak-kb=%M"), QStringLiteral(CORVANE_CLI),
               QStringLiteral("--app-folder"), temp.settings.AppFolder, QStringLiteral("--local-path"),
               temp.settings.LocalPath, QStringLiteral("import-units"), In(QStringLiteral("bomb.dw"))});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    const qsizetype at = err.lastIndexOf(QStringLiteral("peak-kb="));
    ASSERT_GE(at, 0) << err.toStdString();
    EXPECT_LT(err.mid(at + 8).trimmed().toLongLong(), 100 * 1024) << err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(cli.readAllStandardOutput()).contains(QStringLiteral("文件声明了实体")));
    EXPECT_EQ(Rows(QStringLiteral("dat_corp_info")), 0);
}

// The documents loaded ahead are counted by the memory they take: files of a million elements
// each, several times what the batch may hold together, are imported one after another.
TEST_F(ImportFixture, LargeDocumentsAreLoadedAheadWithinAFixedMemory)
{
    QByteArray padding;
    for (int i = 0; i < 1000000; ++i)
        padding += "<a/>";
    for (int i = 0; i < 4; ++i)
    {
        QByteArray text = ReportXml::Project("U01", QStringLiteral("P%1").arg(i)).Bytes();
        text.insert(text.lastIndexOf("</Report>"), padding);
        Write(QStringLiteral("P%1.xm").arg(i), text);
    }
    QProcess cli;
    cli.start(QStringLiteral("/usr/bin/time"),
              {QStringLiteral("-f"), QStringLiteral("peak-kb=%M"), QStringLiteral(CORVANE_CLI),
               QStringLiteral("--app-folder"), temp.settings.AppFolder, QStringLiteral("--local-path"),
               temp.settings.LocalPath, QStringLiteral("import-projects"), temp.settings.ImportPath});
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    const qsizetype at = err.lastIndexOf(QStringLiteral("peak-kb="));
    ASSERT_GE(at, 0) << err.toStdString();
    EXPECT_LT(err.mid(at + 8).trimmed().toLongLong(), 400 * 1024) << err.toStdString();
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("倒入成功4个文件"))) << out.toStdString();
    EXPECT_EQ(Rows(QStringLiteral("dat_project_info")), 4);
}

// A database that can grow no further (full disk, file size limit) fails every later file the
// same way: the batch stops at once with one message and leaves its files in place.
TEST_F(ImportFixture, ADatabaseThatCannotGrowStopsTheBatchWithOneMessage)
{
    for (int i = 0; i < 300; ++i)
        Write(QStringLiteral("P%1.xm").arg(i, 4, 10, QLatin1Char('0')),
              ReportXml::Project("U01", QStringLiteral("P%1").arg(i)).Bytes());
    // In blocks of 1 KB: room for a few pages of the log, not for the batch's.
    const qint64 limit = 48;
    QProcess cli;
    cli.start(QStringLiteral("bash"),
              {QStringLiteral("-c"),
               QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"").arg(limit),
               QStringLiteral(CORVANE_CLI), QStringLiteral("--app-folder"), temp.settings.AppFolder,
               QStringLiteral("--local-path"), temp.settings.LocalPath, QStringLiteral("import-projects"),
               temp.settings.ImportPath});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(cli.exitCode(), 1) << out.toStdString();
    EXPECT_EQ(out.count(QStringLiteral("wenwu.mdb")), 1) << out.toStdString();
    EXPECT_TRUE(
        out.contains(QStringLiteral("导入停止于") + In(QStringLiteral("P0000.xm")) + QStringLiteral(":")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("导入项目信息:操作完成！\n倒入成功0个文件")))
        << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("的数据失败"))) << out.toStdString();
    EXPECT_EQ(Rows(QStringLiteral("dat_project_info")), 0);
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("P0299.xm"))));
    EXPECT_EQ(temp.Scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
}
} // namespace

namespace
{
// Refusals of the system itself reach the operator in Chinese, naming the file or folder, and the
// run fails. Root passes permission checks: its run goes without them, so that they bite as they
// do for an operator.
struct RefusalCase
{
    const char* name;
    // Sets the scene in the temporary folder; may return a connection held while the program runs.
    std::unique_ptr<Database> (*prepare)(TempDatabase& temp);
    const char* arguments; // after the folder options, separated by spaces; %1 is the temporary folder
    const char* shown;     // %1 as above
    friend void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }
};

void SetMode(const QString& path, QFileDevice::Permissions permissions)
{
    ASSERT_TRUE(QFile::setPermissions(path, permissions)) << path.toStdString();
}

constexpr QFileDevice::Permissions kReadOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kAll =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

std::unique_ptr<Database> UnlistableFolder(TempDatabase& temp)
{
    temp.WriteFile(QStringLiteral("in/box/a.dw"), UnitFile(QStringLiteral("U1")));
    SetMode(temp.Folder() + QStringLiteral("in/box"), QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return nullptr;
}

std::unique_ptr<Database> LinkIntoUnreadableFolder(TempDatabase& temp)
{
    temp.WriteFile(QStringLiteral("secret/a.dw"), UnitFile(QStringLiteral("U1")));
    QDir().mkpath(temp.Folder() + QStringLiteral("in/box"));
    EXPECT_TRUE(QFile::link(temp.Folder() + QStringLiteral("secret/a.dw"),
                            temp.Folder() + QStringLiteral("in/box/a.dw")));
    SetMode(temp.Folder() + QStringLiteral("secret"), QFileDevice::WriteOwner);
    return nullptr;
}

std::unique_ptr<Database> ReadOnlyDatabaseFile(TempDatabase& temp)
{
    temp.WriteFile(QStringLiteral("in/a.dw"), UnitFile(QStringLiteral("U1")));
    SetMode(temp.settings.LocalPath + QStringLiteral("wenwu.mdb"), QFileDevice::ReadOwner);
    return nullptr;
}

std::unique_ptr<Database> UnreadableDatabaseFile(TempDatabase& temp)
{
    temp.WriteFile(QStringLiteral("in/a.dw"), UnitFile(QStringLiteral("U1")));
    SetMode(temp.settings.LocalPath + QStringLiteral("wenwu.mdb"), {});
    return nullptr;
}

std::unique_ptr<Database> ReadOnlyDatabaseFolder(TempDatabase& temp)
{
    temp.WriteFile(QStringLiteral("in/a.dw"), UnitFile(QStringLiteral("U1")));
    SetMode(temp.settings.LocalPath, kReadOnly);
    return nullptr;
}

std::unique_ptr<Database> ReadOnlyFolderForInitDb(TempDatabase& temp)
{
    QDir().mkpath(temp.Folder() + QStringLiteral("ro"));
    SetMode(temp.Folder() + QStringLiteral("ro"), kReadOnly);
    return nullptr;
}

// Pages after the header overwritten: the file still opens as a database.
std::unique_ptr<Database> DamagedDatabase(TempDatabase& temp)
{
    temp.WriteFile(QStringLiteral("in/a.dw"), UnitFile(QStringLiteral("U1")));
    QFile file(temp.settings.LocalPath + QStringLiteral("wenwu.mdb"));
    EXPECT_TRUE(file.open(QIODevice::ReadWrite));
    EXPECT_TRUE(file.seek(100));
    file.write(QByteArray(int(file.size()) - 100, '\x5a'));
    return nullptr;
}

// The last page of many project rows overwritten: a report meets it only while stepping its rows.
std::unique_ptr<Database> DamagedLaterPage(TempDatabase& temp)
{
    for (const QString& name :
         QDir(QStringLiteral(CORVANE_TEMPLATE_DIR)).entryList({QStringLiteral("*.xls")}))
        EXPECT_TRUE(
            QFile::copy(QStringLiteral(CORVANE_TEMPLATE_DIR "/") + name, temp.settings.AppFolder + name));
    const QString path = temp.settings.LocalPath + QStringLiteral("wenwu.mdb");
    qint64 pageSize = 0;
    {
        Database db(QStringLiteral("QSQLITE"), path);
        Transaction transaction(db);
        for (int i = 0; i < 200; ++i)
            db.Run(QStringLiteral(
                       "insert into dat_project_info(projectid, corpid, name, remark) values(?, ?, ?, ?)"),
                   std::array<QVariant, 4>{QStringLiteral("U01_P%1").arg(i), QStringLiteral("U01"),
                                           QStringLiteral("n"), QString(1000, u'x')});
        transaction.Commit();
        QSqlQuery& size = db.Execute(QStringLiteral("pragma page_size"));
        pageSize = size.next() ? size.value(0).toLongLong() : 0;
        size.finish();
    }
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadWrite));
    EXPECT_TRUE(file.seek(file.size() - pageSize));
    file.write(QByteArray(int(pageSize), '\x5a'));
    return nullptr;
}

// A database fresh from init-db is not yet in WAL mode: another program's open write keeps the
// whole file.
std::unique_ptr<Database> LockedFreshDatabase(TempDatabase& temp)
{
    temp.WriteFile(QStringLiteral("in/a.dw"), UnitFile(QStringLiteral("U1")));
    auto holder = std::make_unique<Database>(QStringLiteral("QSQLITE"),
                                             temp.settings.LocalPath + QStringLiteral("wenwu.mdb"));
    holder->ExecuteControl(QStringLiteral("BEGIN EXCLUSIVE"));
    return holder;
}

class Refusals : public ImportFixture, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(Refusals, AreShownInChineseNamingWhatAndTheRunFails)
{
    const RefusalCase& c = GetParam();
    const std::unique_ptr<Database> holder = c.prepare(temp);
    QString program = QStringLiteral(CORVANE_CLI);
    QStringList arguments = {QStringLiteral("--app-folder"), temp.settings.AppFolder,
                             QStringLiteral("--local-path"), temp.settings.LocalPath};
    for (const QString& argument : QString::fromUtf8(c.arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        arguments.append(argument.contains(QLatin1String("%1")) ? argument.arg(temp.Folder()) : argument);
    if (::geteuid() == 0)
    {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            GTEST_SKIP() << "running as root without setpriv (util-linux): permissions do not bind";
        arguments.prepend(program);
        arguments.prepend(QStringLiteral("--bounding-set=-dac_override,-dac_read_search"));
        program = setpriv;
    }
    QProcess cli;
    cli.start(program, arguments);
    ASSERT_TRUE(cli.waitForFinished(30000));
    for (const char* folder : {"in/box", "secret", "ro", "local"})
        QFile::setPermissions(temp.Folder() + QString::fromLatin1(folder), kAll);
    const QString shown =
        QString::fromUtf8(cli.readAllStandardOutput()) + QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), 1) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(c.shown).arg(temp.Folder()))) << shown.toStdString();
    for (const char* english : {"database", "readonly", "unable", "locked", "malformed", "Permission"})
        EXPECT_FALSE(shown.contains(QLatin1String(english))) << shown.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Refusals,
    ::testing::Values(
        RefusalCase{"UnlistableImportFolder", UnlistableFolder, "import-units %1in/box",
                    "无法读取文件夹%1in/box/\n没有权限列出该文件夹中的文件"},
        RefusalCase{"LinkIntoAnUnreadableFolder", LinkIntoUnreadableFolder, "import-units %1in/box",
                    "无法打开指定文件%1in/box/a.dw\n没有权限读取链接指向的文件或它所在的文件夹"},
        RefusalCase{"ReadOnlyDatabaseFile", ReadOnlyDatabaseFile, "import-units %1in/a.dw",
                    "数据库文件只读，无法写入:%1local/wenwu.mdb\n"},
        RefusalCase{"ReadOnlyDatabaseFolder", ReadOnlyDatabaseFolder, "import-units %1in/a.dw",
                    "数据库文件只读，无法写入:%1local/wenwu.mdb\n请确认该文件和它所在的文件夹允许写入"},
        RefusalCase{"InitDbInAReadOnlyFolder", ReadOnlyFolderForInitDb, "init-db %1ro",
                    "无法打开数据库文件:%1ro/wenwu.mdb\n请确认该文件和它所在的文件夹都在，且允许本程序读写"},
        RefusalCase{"DamagedDatabase", DamagedDatabase, "import-units %1in/a.dw",
                    "数据库文件已损坏:%1local/wenwu.mdb\n请换用备份的数据库文件"},
        RefusalCase{"DamagedPageMetWhileAReportReadsOn", DamagedLaterPage, "reports",
                    "查询失败:数据库文件已损坏:%1local/wenwu.mdb\n请换用备份的数据库文件"},
        RefusalCase{"UnreadableDatabaseFile", UnreadableDatabaseFile, "import-units %1in/a.dw",
                    "无法打开数据库文件:%1local/wenwu.mdb\n请确认"},
        RefusalCase{"FreshDatabaseLockedByAnotherProgram", LockedFreshDatabase, "import-units %1in/a.dw",
                    "数据库正被其他程序使用%1local/wenwu.mdb"}),
    CaseName<RefusalCase>);
} // namespace
