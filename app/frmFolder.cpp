#include "app/frmFolder.h"

#include "app/WindowGeometry.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStorageInfo>
#include <QTreeView>

#include <algorithm>

namespace
{
// True when path is folder or lies below it.
bool IsWithin(const QString& path, const QString& folder)
{
    return path == folder ||
           path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}
} // namespace

// The folder tree's model; the open folder is shown in bold, as a highlighted entry is not what
// OK takes.
class OpenFolderModel : public QFileSystemModel
{
public:
    using QFileSystemModel::QFileSystemModel;

    void SetOpenFolder(const QString& path)
    {
        const QModelIndex previous = index(m_openFolder);
        m_openFolder = path;
        if (previous.isValid())
            emit dataChanged(previous, previous, {Qt::FontRole});
        const QModelIndex current = index(m_openFolder);
        emit dataChanged(current, current, {Qt::FontRole});
    }

    QVariant data(const QModelIndex& item, int role) const override
    {
        if (role == Qt::FontRole && !m_openFolder.isEmpty() && filePath(item) == m_openFolder)
        {
            QFont font = QFileSystemModel::data(item, role).value<QFont>();
            font.setBold(true);
            return font;
        }
        return QFileSystemModel::data(item, role);
    }

private:
    QString m_openFolder;
};

frmFolder::frmFolder(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFolder"));
    setWindowTitle(QStringLiteral("选择本地路径"));
    // The designed size is the least; deep folders want more.
    setMinimumSize(Twips(0, 0, 3180, 3825).size());
    setSizeGripEnabled(true);

    m_drive1 = new QComboBox(this);
    m_drive1->setObjectName(QStringLiteral("Drive1"));

    m_model = new OpenFolderModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QString());

    m_dir1 = new QTreeView(this);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setModel(m_model);
    m_dir1->setHeaderHidden(true);
    // Deep folders keep their names whole and the tree scrolls sideways.
    m_dir1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_dir1->header()->setStretchLastSection(false);
    m_dir1->installEventFilter(this);

    m_path = new QLabel(this);
    m_path->setObjectName(QStringLiteral("OpenFolder"));
    m_path->setWordWrap(true);
    m_path->setTextFormat(Qt::PlainText);
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_dir1->hideColumn(column);

    m_okButton = new QPushButton(QStringLiteral("确定"), this);
    m_okButton->setObjectName(QStringLiteral("OKButton"));

    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->addWidget(m_drive1);
    layout->addWidget(m_dir1, 1);
    layout->addWidget(m_path);
    layout->addLayout(buttons);
    resize(minimumSize().width() * 3 / 2, minimumSize().height());

    // The model lists folders in the background and sorts them later, which moves the open folder
    // out of sight: the tree follows it until the operator scrolls or clicks.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &frmFolder::FollowOpenFolder);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &frmFolder::FollowOpenFolder);
    connect(m_dir1->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { m_following = false; });
    connect(m_dir1, &QTreeView::pressed, this, [this] { m_following = false; });
    connect(m_drive1, &QComboBox::activated, this, &frmFolder::OnDrive1Activated);
    connect(m_dir1, &QTreeView::activated, this, &frmFolder::OnDir1Activated);
    connect(m_okButton, &QPushButton::clicked, this, &frmFolder::OnOKButtonClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &frmFolder::OnCancelButtonClicked);

    FillDrives();
    OpenFolder(QDir::currentPath());
}

void frmFolder::showEvent(QShowEvent* event)
{
    // Restoring from the task bar is not a new use of the dialog.
    if (!event->spontaneous())
        Load();
    QDialog::showEvent(event);
}

bool frmFolder::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the tree is 确定: it takes the open folder, not the highlighted one.
    if (watched == m_dir1 && event->type() == QEvent::KeyPress)
    {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
        {
            m_okButton->click();
            return true;
        }
        // Space opens the highlighted folder, as a double click does.
        if (key == Qt::Key_Space && m_dir1->currentIndex().isValid())
        {
            OnDir1Activated(m_dir1->currentIndex());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFolder::Load()
{
    CentreOnScreen(this);
    // Every use starts with 确定 as the default and the tree in hand, whatever ended the last.
    m_okButton->setDefault(true);
    m_cancelButton->setDefault(false);
    m_dir1->setFocus();
    FillDrives();
    // A fresh use starts where the program runs, and stays there when FolderPath cannot be opened.
    OpenFolder(QDir::currentPath());
    OpenFolder(FolderPath);
}

void frmFolder::FillDrives()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
    {
        // Files mounted over files (containers do this) are not drives.
        if (volume.isValid() && QFileInfo(volume.rootPath()).isDir())
            roots.append(volume.rootPath());
    }
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end(),
              [](const QString& left, const QString& right)
              {
                  // "/" first, then by path.
                  return left == QDir::rootPath() ? right != QDir::rootPath()
                                                  : right != QDir::rootPath() && left < right;
              });
    m_drive1->clear();
    m_drive1->addItems(roots);
    SelectDriveOf(m_openFolder);
}

void frmFolder::SelectDriveOf(const QString& path)
{
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < m_drive1->count(); ++i)
    {
        const QString root = m_drive1->itemText(i);
        if (IsWithin(path, root) && root.size() > bestLength)
        {
            best = i;
            bestLength = root.size();
        }
    }
    m_drive1->setCurrentIndex(best);
}

bool frmFolder::OpenFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(QDir::cleanPath(QDir::fromNativeSeparators(path)));
    // Listing a folder needs both permissions.
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    const QString folder = info.absoluteFilePath();
    const QModelIndex index = m_model->index(folder);
    if (!index.isValid())
        return false;
    m_openFolder = folder;
    m_path->setText(QDir::toNativeSeparators(folder));
    m_model->SetOpenFolder(folder);
    for (QModelIndex open = index; open.isValid(); open = open.parent())
        m_dir1->expand(open);
    m_dir1->setCurrentIndex(index);
    m_following = true;
    FollowOpenFolder();
    SelectDriveOf(folder);
    return true;
}

void frmFolder::FollowOpenFolder()
{
    if (m_following)
    {
        m_dir1->scrollTo(m_model->index(m_openFolder), QAbstractItemView::PositionAtCenter);
        // The tree reads from its root; the full path shows below it.
        m_dir1->horizontalScrollBar()->setValue(0);
    }
}

void frmFolder::OnDrive1Activated(int index)
{
    if (!OpenFolder(m_drive1->itemText(index)))
    {
        // A drive that cannot be read: the previous folder stays open.
        QApplication::beep();
        SelectDriveOf(m_openFolder);
    }
}

void frmFolder::OnDir1Activated(const QModelIndex& index)
{
    if (!OpenFolder(m_model->filePath(index)))
        QApplication::beep();
}

void frmFolder::OnOKButtonClicked()
{
    CancelError = false;
    FolderPath = m_openFolder;
    accept();
}

void frmFolder::OnCancelButtonClicked()
{
    CancelError = true;
    reject();
}
