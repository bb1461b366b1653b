#pragma once

#include "import/FileList.h"
#include "import/ImportBatch.h"
#include "import/LedgerRecords.h"
#include "services/MessageSink.h"
#include "services/Settings.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QFileDialog;
class QLabel;
class QPushButton;
class Database;
class frmFolder;

// The main window: the two working folders, the five buttons and 导入记录, which lists the import
// batches and opens their results. Opening it reads config.pz from the program's folder into the
// labels; closing it writes the labels' folders back. Each button runs its work to the end; an
// error that escapes the work is shown and the window stays usable.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // How the modal dialogs run: by default exec(). The file dialog's runner returns the chosen
    // paths, none when cancelled. Tests put runners here that answer in place of an operator.
    using FileDialogRunner = std::function<QStringList(QFileDialog& dialog)>;
    using FolderDialogRunner = std::function<void(frmFolder& dialog)>;
    // Asks the operator a yes-or-no question; true for yes.
    using QuestionRunner = std::function<bool(const QString& text)>;
    // Runs the import record's dialogs: the list of batches and a batch's results.
    using LedgerDialogRunner = std::function<void(QDialog& dialog)>;

    // programFolder becomes AppFolder. Messages go to sink, or to boxes over this window when
    // it is null.
    explicit Form1(const QString& programFolder, MessageSink* sink = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    void SetFileDialogRunner(FileDialogRunner runner) { m_runFileDialog = std::move(runner); }
    void SetFolderDialogRunner(FolderDialogRunner runner) { m_runFolderDialog = std::move(runner); }
    void SetQuestionRunner(QuestionRunner runner) { m_askQuestion = std::move(runner); }
    void SetLedgerDialogRunner(LedgerDialogRunner runner) { m_runLedgerDialog = std::move(runner); }

    const Settings& CurrentSettings() const { return m_settings; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Load(const QString& programFolder);
    QLabel* AddLabel(const char* name, const QString& caption, const QRect& geometry,
                     QLabel* label = nullptr);
    QPushButton* AddButton(const char* name, const QString& caption, const QRect& geometry);

    void OnCommand1Clicked();
    void OnCommand2Clicked();
    void OnCommand3Clicked();
    void OnCommand4Clicked();
    void OnCommand5Clicked();
    void OnCreateDatabaseClicked();
    void OnImportHistoryClicked();

    // An import batch of the window's own: the sink's boxes may go quiet for its remaining
    // messages, and the summary's 查看详情 opens the batch's results.
    void RunBatch(const std::function<BatchCounts()>& batch);
    // The results of the batch batchId as the ledger holds them. Throws CorvaneError.
    void ShowBatchResults(const QString& batchId);
    void ShowBatchResults(Database& db, const LedgerBatch& batch);

    // A folder into its label, whole, with the full path as tooltip.
    void ShowFolder(QLabel* label, const QString& folder);
    // Beside each folder: a folder that does not exist, a save folder that cannot be written or
    // holds no database (then with the offer to create one).
    void UpdateFolderStatus();
    void Arrange();
    void PlaceFolderRow(QLabel* folder, QLabel* status, QPushButton* action, QRect row, int extra);

    // Shows the open-file dialog in ImportPath; nothing when the operator cancels.
    std::optional<FileList> ChooseImportFiles(const QString& filter, const QString& fileName);
    // Lets the operator choose a folder for the setting shown in label.
    void ChooseFolder(QString& folder, QLabel* label);
    // Runs one click's work: not while other work runs, and with an escaping error shown. title
    // names the work on its progress dialog; work that can stop is asked to when the window closes.
    void RunAction(const QString& title, bool stoppable, const std::function<void()>& work);
    // The window's own yes-or-no box: 停止 (the default) or 继续.
    bool AskToStop(const QString& text);

    // What the work is given: the window's sink, which also answers whether the operator asked
    // the work to stop.
    class WorkSink : public MessageSink
    {
    public:
        explicit WorkSink(Form1& form) : m_form(form) {}
        void Show(const QString& text) override { m_form.m_sink.Show(text); }
        void Progress(const QString& step, int done, int total) override
        {
            m_form.m_sink.Progress(step, done, total);
        }
        void ShowAbout(const QString& text, const MessageDetail& detail) override
        {
            m_form.m_sink.ShowAbout(text, detail);
        }
        bool Cancelled() override { return m_form.m_stopRequested || m_form.m_sink.Cancelled(); }
        int Unshown() const override { return m_form.m_sink.Unshown(); }

    private:
        Form1& m_form;
    };

    std::unique_ptr<MessageSink> m_ownSink;
    MessageSink& m_sink;
    WorkSink m_workSink{*this};
    Settings m_settings;
    FileDialogRunner m_runFileDialog;
    FolderDialogRunner m_runFolderDialog;
    QuestionRunner m_askQuestion;
    LedgerDialogRunner m_runLedgerDialog;
    frmFolder* m_folderDialog = nullptr;
    bool m_busy = false;
    bool m_stoppable = false;
    bool m_stopRequested = false;
    bool m_closePending = false;

    QLabel* m_label3;
    QLabel* m_label4;
    QLabel* m_importStatus;
    QLabel* m_localStatus;
    QPushButton* m_createDatabase;
    QPushButton* m_command1;
    QPushButton* m_command2;
    QPushButton* m_command3;
    QPushButton* m_command4;
    QPushButton* m_command5;
    QPushButton* m_importHistory;
};
