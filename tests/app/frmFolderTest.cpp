#include "app/frmFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <gtest/gtest.h>

namespace
{
class FolderChooser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("a/b"));
        QDir(dir.path()).mkpath(QStringLiteral("c"));
    }
    QString Path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    template <typename Control> Control* Find(const char* name) const
    {
        return dialog.findChild<Control*>(QLatin1String(name));
    }

    QTemporaryDir dir;
    frmFolder dialog;
};
} // namespace

TEST_F(FolderChooser, OpensFolderPathWhenShown)
{
    dialog.FolderPath = Path(QStringLiteral("a/b/"));
    dialog.show();
    EXPECT_EQ(dialog.OpenFolderPath(), Path(QStringLiteral("a/b")));
}

TEST_F(FolderChooser, AFolderPathThatIsGoneLeavesTheStartFolderOpen)
{
    dialog.FolderPath = Path(QStringLiteral("gone"));
    dialog.show();
    EXPECT_EQ(dialog.OpenFolderPath(), QDir::currentPath());
    EXPECT_TRUE(dialog.OpenFolder(Path(QStringLiteral("c"))));
}

TEST_F(FolderChooser, AFileLeavesThePreviousFolderOpen)
{
    ASSERT_TRUE(dialog.OpenFolder(Path(QStringLiteral("a"))));
    QFile file(Path(QStringLiteral("a/file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(dialog.OpenFolder(file.fileName()));
    EXPECT_EQ(dialog.OpenFolderPath(), Path(QStringLiteral("a")));
}

TEST_F(FolderChooser, AnUnreadableFolderLeavesThePreviousFolderOpen)
{
    ASSERT_TRUE(dialog.OpenFolder(Path(QStringLiteral("a"))));
    const QString locked = Path(QStringLiteral("c"));
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (QDir(locked).isReadable())
        GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_FALSE(dialog.OpenFolder(locked));
    EXPECT_EQ(dialog.OpenFolderPath(), Path(QStringLiteral("a")));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(FolderChooser, OkTakesTheOpenFolderNotTheHighlightedOne)
{
    dialog.show();
    ASSERT_TRUE(dialog.OpenFolder(Path(QStringLiteral("a"))));
    auto* tree = Find<QTreeView>("Dir1");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    tree->setCurrentIndex(model->index(Path(QStringLiteral("c"))));
    Find<QPushButton>("OKButton")->click();
    EXPECT_FALSE(dialog.CancelError);
    EXPECT_EQ(dialog.FolderPath, Path(QStringLiteral("a")));
    EXPECT_FALSE(dialog.isVisible());
}

// Enter in the tree once opened the highlighted folder on its way to 确定.
TEST_F(FolderChooser, EnterTakesTheOpenFolderNotTheHighlightedOne)
{
    dialog.show();
    ASSERT_TRUE(dialog.OpenFolder(Path(QStringLiteral("a"))));
    auto* tree = Find<QTreeView>("Dir1");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    tree->setCurrentIndex(model->index(Path(QStringLiteral("c"))));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(tree, &enter);
    EXPECT_FALSE(dialog.CancelError);
    EXPECT_EQ(dialog.FolderPath, Path(QStringLiteral("a")));
}

TEST_F(FolderChooser, SpaceOpensTheHighlightedFolderAndEnterTakesIt)
{
    dialog.show();
    ASSERT_TRUE(dialog.OpenFolder(Path(QStringLiteral("a"))));
    auto* tree = Find<QTreeView>("Dir1");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    tree->setCurrentIndex(model->index(Path(QStringLiteral("c"))));
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return})
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(tree, &press);
    }
    EXPECT_EQ(dialog.FolderPath, Path(QStringLiteral("c")));
}

TEST_F(FolderChooser, OkIsTheDefaultAgainAfterACancel)
{
    dialog.show();
    auto* cancel = Find<QPushButton>("CancelButton");
    cancel->setFocus();
    cancel->click();
    dialog.show();
    EXPECT_TRUE(Find<QPushButton>("OKButton")->isDefault());
    EXPECT_FALSE(cancel->isDefault());
}

TEST_F(FolderChooser, ShowsTheWholePathOfTheOpenFolder)
{
    const QString deep = Path(QStringLiteral("二级文件夹/三级文件夹/四级文件夹"));
    QDir().mkpath(deep);
    dialog.show();
    ASSERT_TRUE(dialog.OpenFolder(deep));
    EXPECT_EQ(Find<QLabel>("OpenFolder")->text(), QDir::toNativeSeparators(deep));
}

TEST_F(FolderChooser, ADoubleClickOpensTheFolder)
{
    dialog.show();
    auto* tree = Find<QTreeView>("Dir1");
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    emit tree->activated(model->index(Path(QStringLiteral("a/b"))));
    EXPECT_EQ(dialog.OpenFolderPath(), Path(QStringLiteral("a/b")));
}

TEST_F(FolderChooser, CancelKeepsTheFolderPassedIn)
{
    dialog.FolderPath = Path(QStringLiteral("a"));
    dialog.show();
    dialog.OpenFolder(Path(QStringLiteral("c")));
    Find<QPushButton>("CancelButton")->click();
    EXPECT_TRUE(dialog.CancelError);
    EXPECT_EQ(dialog.FolderPath, Path(QStringLiteral("a")));
}

TEST_F(FolderChooser, DriveListStartsWithTheRootAndOpensADrive)
{
    dialog.FolderPath = Path(QStringLiteral("a"));
    dialog.show();
    auto* drives = Find<QComboBox>("Drive1");
    ASSERT_GT(drives->count(), 0);
    EXPECT_EQ(drives->itemText(0), QStringLiteral("/"));
    emit drives->activated(0);
    EXPECT_EQ(dialog.OpenFolderPath(), QStringLiteral("/"));
    EXPECT_EQ(drives->currentIndex(), 0);
}
