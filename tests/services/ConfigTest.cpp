#include "services/Config.h"
#include "services/AppFolder.h"
#include "services/Settings.h"
#include "support/CaseName.h"
#include "support/RecordingSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
class ConfigFile : public ::testing::Test
{
protected:
    void SetUp() override { settings.AppFolder = dir.path() + QStringLiteral("/"); }
    void Write(const QByteArray& bytes)
    {
        QFile file(settings.AppFolder + QStringLiteral("config.pz"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray Read()
    {
        QFile file(settings.AppFolder + QStringLiteral("config.pz"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    QTemporaryDir dir;
    Settings settings;
    RecordingSink sink;
};
} // namespace

TEST_F(ConfigFile, LoadAppendsSlashToFoldersButNotToDataSource)
{
    Write("<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<Config>\n  <ImportPath>  /data/in  </ImportPath>\n"
          "  <LocalPath>/data/out/</LocalPath>\n  <DataSource>db/x.sqlite</DataSource>\n  "
          "<Extra>1</Extra>\n</Config>");
    LoadConfig(settings, sink);
    EXPECT_TRUE(sink.messages.isEmpty());
    EXPECT_EQ(settings.ImportPath, QStringLiteral("/data/in/"));
    EXPECT_EQ(settings.LocalPath, QStringLiteral("/data/out/"));
    EXPECT_EQ(settings.DataSource, QStringLiteral("db/x.sqlite"));
}

TEST_F(ConfigFile, LoadLeavesEmptyAndMissingElementsEmpty)
{
    Write("<Config><ImportPath></ImportPath></Config>");
    settings.LocalPath = QStringLiteral("/old/");
    LoadConfig(settings, sink);
    EXPECT_TRUE(sink.messages.isEmpty());
    EXPECT_EQ(settings.ImportPath, QString());
    EXPECT_EQ(settings.LocalPath, QString());
}

TEST_F(ConfigFile, MissingOrBrokenFileReportsAndKeepsSettings)
{
    settings.ImportPath = QStringLiteral("/kept/");
    LoadConfig(settings, sink);
    Write("<Config><ImportPath>/x/</ImportPath>");
    LoadConfig(settings, sink);
    EXPECT_EQ(sink.messages, QStringList({QStringLiteral("配置文件错误，请重新配置"),
                                          QStringLiteral("配置文件错误，请重新配置")}));
    EXPECT_EQ(settings.ImportPath, QStringLiteral("/kept/"));
}

TEST_F(ConfigFile, SaveWritesAllThreeElementsInOrderAndChineseSurvives)
{
    settings.ImportPath = QStringLiteral("  /数据/导入/ ");
    settings.LocalPath = QStringLiteral("/数据/镕堃/");
    LoadConfig(settings, sink); // no file yet: reported, settings kept
    SaveConfig(settings, sink);
    const QByteArray bytes = Read();
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"GB2312\" standalone=\"yes\"?>"));
    const qsizetype import = bytes.indexOf("<ImportPath>"), local = bytes.indexOf("<LocalPath>"),
                    source = bytes.indexOf("<DataSource");
    EXPECT_TRUE(import >= 0 && import < local && local < source);

    Settings reloaded;
    reloaded.AppFolder = settings.AppFolder;
    LoadConfig(reloaded, sink);
    EXPECT_EQ(sink.messages.size(), 1);
    EXPECT_EQ(reloaded.ImportPath, QStringLiteral("/数据/导入/"));
    EXPECT_EQ(reloaded.LocalPath, QStringLiteral("/数据/镕堃/"));
    EXPECT_EQ(reloaded.DataSource, QString());
}

TEST_F(ConfigFile, SaveIntoMissingFolderReportsAndLeavesNoFile)
{
    settings.AppFolder = dir.path() + QStringLiteral("/nowhere/");
    SaveConfig(settings, sink);
    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_TRUE(sink.messages[0].startsWith(QStringLiteral("保存参数失败无法保存指定文件") +
                                            settings.AppFolder + QStringLiteral("config.pz\\n")))
        << sink.messages[0].toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

namespace
{
// Where AppFolder lands for a program folder holding `beside` and a config home holding
// `inConfigHome` (paths relative to home/.config).
struct AppFolderCase
{
    std::string name;
    QStringList beside;
    QStringList inConfigHome;
    QString configHome;     // relative to the test folder; "" for none
    QString expected;       // relative to the test folder
    QByteArray configAfter; // config.pz in the chosen folder afterwards; "" when it must not exist
    friend void PrintTo(const AppFolderCase& c, std::ostream* out) { *out << c.name; }
};

class ChooseAppFolderTable : public ::testing::TestWithParam<AppFolderCase>
{
protected:
    void Touch(const QString& path, const QByteArray& bytes = "x")
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir dir;
};

const QByteArray kOwnConfig = "<Config><LocalPath>/own/</LocalPath></Config>";
const QByteArray kEmptyConfig = "<Config><ImportPath/><LocalPath/><DataSource/></Config>";
} // namespace

TEST_P(ChooseAppFolderTable, PicksTheFolderAndMakesConfigOnlyWhereNeeded)
{
    const AppFolderCase& row = GetParam();
    const QString root = dir.path() + QStringLiteral("/");
    for (const QString& name : row.beside)
        Touch(root + QStringLiteral("bin/") + name, name == QStringLiteral("config.pz") ? kOwnConfig : "x");
    for (const QString& name : row.inConfigHome)
        Touch(root + QStringLiteral("home/.config/") + name, kOwnConfig);
    QDir().mkpath(root + QStringLiteral("bin"));

    const QString folder = ChooseAppFolder(root + QStringLiteral("bin"),
                                           row.configHome.isEmpty() ? QString() : root + row.configHome);

    EXPECT_EQ(folder, root + row.expected);
    QFile config(folder + QStringLiteral("config.pz"));
    if (row.configAfter.isEmpty())
        EXPECT_FALSE(config.exists());
    else
    {
        ASSERT_TRUE(config.open(QIODevice::ReadOnly));
        EXPECT_TRUE(config.readAll().contains(row.configAfter));
    }
    // A made config.pz loads without the broken-configuration message.
    Settings settings;
    settings.AppFolder = folder;
    RecordingSink sink;
    if (!row.configAfter.isEmpty())
        LoadConfig(settings, sink);
    EXPECT_TRUE(sink.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    ChooseAppFolder, ChooseAppFolderTable,
    ::testing::Values(
        AppFolderCase{
            "ConfigBesideProgramKeepsProgramFolder", {"config.pz"}, {}, "home/.config", "bin/", kOwnConfig},
        AppFolderCase{"TemplateBesideProgramKeepsProgramFolder",
                      {"国家计委汇总表.xls"},
                      {},
                      "home/.config",
                      "bin/",
                      ""},
        AppFolderCase{"OtherTemplateBesideProgramKeepsProgramFolder",
                      {"十一五资金需求汇总表.xls"},
                      {},
                      "home/.config",
                      "bin/",
                      ""},
        AppFolderCase{"InstalledProgramMakesFolderAndEmptyConfig",
                      {"corvane"},
                      {},
                      "home/.config",
                      "home/.config/corvane/",
                      kEmptyConfig},
        AppFolderCase{"InstalledProgramKeepsExistingConfig",
                      {},
                      {"corvane/config.pz"},
                      "home/.config",
                      "home/.config/corvane/",
                      kOwnConfig},
        AppFolderCase{"NoConfigHomeKeepsProgramFolder", {}, {}, "", "bin/", ""}),
    CaseName<AppFolderCase>);

TEST(TemplatePath, PrefersAppFolderCopyThenInstalledCopy)
{
    QTemporaryDir dir;
    const QString app = dir.path() + QStringLiteral("/app/");
    const QString shared = dir.path() + QStringLiteral("/share/corvane");
    QDir().mkpath(app);
    QDir().mkpath(shared);
    const QString title = QStringLiteral("国家计委汇总表");
    const struct
    {
        bool inApp;
        bool inShared;
        QString expected;
    } rows[] = {
        {true, true, app + title + QStringLiteral(".xls")},
        {false, true, shared + QStringLiteral("/") + title + QStringLiteral(".xls")},
        {false, false, app + title + QStringLiteral(".xls")},
    };
    for (const auto& row : rows)
    {
        for (const auto& [present, folder] :
             {std::pair{row.inApp, app}, std::pair{row.inShared, shared + "/"}})
        {
            QFile file(folder + title + QStringLiteral(".xls"));
            if (present)
            {
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.close();
            }
            else
                file.remove();
        }
        EXPECT_EQ(TemplatePath(app, title, shared), row.expected) << row.inApp << row.inShared;
    }
}
