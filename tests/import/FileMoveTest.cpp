#include "import/FileMove.h"
#include "cli/FileArguments.h"
#include "import/FileList.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

TEST(MoveFileReplacing, CopiesAcrossFileSystemsAndLeavesNoTemporaryFile)
{
    QTemporaryDir source;
    QTemporaryDir target(QStringLiteral("/dev/shm/corvane-move-XXXXXX"));
    if (!target.isValid() || QStorageInfo(source.path()).device() == QStorageInfo(target.path()).device())
        GTEST_SKIP() << "no second file system at /dev/shm";
    Write(source.filePath("a.dw"), "new");
    Write(target.filePath("a.dw"), "old");
    MoveFileReplacing(source.filePath("a.dw"), target.filePath("a.dw"));
    EXPECT_EQ(Read(target.filePath("a.dw")), "new");
    EXPECT_FALSE(QFile::exists(source.filePath("a.dw")));
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.dw"});
}

struct ArgumentCase
{
    const char* name;
    QStringList arguments; // relative to a folder holding in/b.dw, in/a.dw, in/p.xm, other/c.dw
    bool ok;
    const char* folder;
    QStringList names;
    friend void PrintTo(const ArgumentCase& c, std::ostream* out) { *out << c.name; }
};

class FileListArguments : public ::testing::TestWithParam<ArgumentCase>
{
};

TEST_P(FileListArguments, FormOneListOfOneFolder)
{
    QTemporaryDir dir;
    for (const char* file : {"in/b.dw", "in/a.dw", "in/p.xm", "other/c.dw"})
        Write(dir.filePath(QString::fromLatin1(file)), "x");
    QStringList arguments;
    for (const QString& argument : GetParam().arguments)
        arguments.append(dir.filePath(argument));
    FileList files;
    QString problem;
    ASSERT_EQ(FileListFromArguments(arguments, QStringLiteral("dw"), files, problem), GetParam().ok);
    if (!GetParam().ok)
    {
        EXPECT_FALSE(problem.isEmpty());
        return;
    }
    EXPECT_EQ(files.folder, dir.filePath(QString::fromLatin1(GetParam().folder)));
    EXPECT_EQ(files.names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    FileList, FileListArguments,
    ::testing::Values(
        ArgumentCase{"FolderGivesItsFilesSorted", {"in"}, true, "in/", {"a.dw", "b.dw"}},
        ArgumentCase{"FilesKeepTheirOrder", {"in/b.dw", "in/a.dw"}, true, "in/", {"b.dw", "a.dw"}},
        ArgumentCase{"MissingFileIsKept", {"in/a.dw", "in/gone.dw"}, true, "in/", {"a.dw", "gone.dw"}},
        ArgumentCase{"SeveralFolders", {"in/a.dw", "other/c.dw"}, false, "", {}},
        ArgumentCase{"FolderAmongFiles", {"in/a.dw", "other"}, false, "", {}},
        ArgumentCase{"NothingGiven", {}, false, "", {}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(CompanionName, ReplacesTheLastExtensionWithHtm)
{
    EXPECT_EQ(CompanionName(QStringLiteral("a.b.dw")), QStringLiteral("a.b.htm"));
    EXPECT_EQ(CompanionName(QStringLiteral("a.")), QStringLiteral("a.htm"));
    EXPECT_EQ(CompanionName(QStringLiteral("U0001")), QString());
}
} // namespace
