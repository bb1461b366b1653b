#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;
class OpenFolderModel;

// The folder chooser: a list of the mounted file systems ("/" first) and a folder tree. The
// caller sets FolderPath, shows the dialog modally and then reads CancelError and, after OK,
// FolderPath. The folder taken on OK is the one open in the tree (opened by a double click),
// not merely the highlighted one. Closing from the title bar is neither OK nor Cancel: both
// members keep their values. Space in the tree opens the highlighted folder; Enter is 确定
// each time the dialog opens. The open folder's full path shows below the tree.
class frmFolder : public QDialog
{
    Q_OBJECT

public:
    explicit frmFolder(QWidget* parent = nullptr);

    // In: the folder to open first. Out, after OK: the open folder, without a trailing "/"
    // except for "/" itself.
    QString FolderPath;
    // True after Cancel, false after OK.
    bool CancelError = false;

    // Opens a folder in the tree and selects its file system in the list. A folder that does not
    // exist or cannot be listed leaves the open folder as it was and returns false.
    bool OpenFolder(const QString& path);
    QString OpenFolderPath() const { return m_openFolder; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Load();
    void FillDrives();
    void SelectDriveOf(const QString& path);
    void FollowOpenFolder();
    void OnDrive1Activated(int index);
    void OnDir1Activated(const QModelIndex& index);
    void OnOKButtonClicked();
    void OnCancelButtonClicked();

    QComboBox* m_drive1;
    QTreeView* m_dir1;
    QLabel* m_path; // the open folder, whole
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    OpenFolderModel* m_model;
    QString m_openFolder;
    bool m_following = false;
};
