#pragma once

#include "import/FileList.h"
#include "services/Settings.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class MessageSink;
class QFileDialog;
class QLabel;
class QPushButton;
class frmFolder;

// The main window: the two working folders and the five buttons. Opening it reads config.pz
// from the program's folder into the labels; closing it writes the labels' folders back. Each
// button runs its work to the end; an error that escapes the work is shown and the window stays
// usable.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // How the modal dialogs run: by default exec(). The file dialog's runner returns the chosen
    // paths, none when cancelled. Tests put runners here that answer in place of an operator.
    using FileDialogRunner = std::function<QStringList(QFileDialog& dialog)>;
    using FolderDialogRunner = std::function<void(frmFolder& dialog)>;

    // programFolder becomes AppFolder. Messages go to sink, or to boxes over this window when
    // it is null.
    explicit Form1(const QString& programFolder, MessageSink* sink = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    void SetFileDialogRunner(FileDialogRunner runner) { m_runFileDialog = std::move(runner); }
    void SetFolderDialogRunner(FolderDialogRunner runner) { m_runFolderDialog = std::move(runner); }

    const Settings& CurrentSettings() const { return m_settings; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Load(const QString& programFolder);
    QLabel* AddLabel(const char* name, const QString& caption, const QRect& geometry);
    QPushButton* AddButton(const char* name, const QString& caption, const QRect& geometry);

    void OnCommand1Clicked();
    void OnCommand2Clicked();
    void OnCommand3Clicked();
    void OnCommand4Clicked();
    void OnCommand5Clicked();

    // Shows the open-file dialog in ImportPath; nothing when the operator cancels.
    std::optional<FileList> ChooseImportFiles(const QString& filter, const QString& fileName);
    // Lets the operator choose a folder for the setting shown in label.
    void ChooseFolder(QString& folder, QLabel* label);
    // Runs one click's work: not while other work runs, and with an escaping error shown.
    void RunAction(const std::function<void()>& work);

    std::unique_ptr<MessageSink> m_ownSink;
    MessageSink& m_sink;
    Settings m_settings;
    FileDialogRunner m_runFileDialog;
    FolderDialogRunner m_runFolderDialog;
    frmFolder* m_folderDialog = nullptr;
    bool m_busy = false;
    bool m_closePending = false;

    QLabel* m_label3;
    QLabel* m_label4;
    QPushButton* m_command1;
    QPushButton* m_command2;
    QPushButton* m_command3;
    QPushButton* m_command4;
    QPushButton* m_command5;
};
