#include "services/Config.h"
#include "services/Settings.h"
#include "support/RecordingSink.h"

#include <QDir>
#include <QFile>
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
