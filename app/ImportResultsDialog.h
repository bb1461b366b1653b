#pragma once

#include "import/LedgerRecords.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class MessageSink;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;
class frmFolder;
class QFileDialog;

// What became of each file of one import batch, as the ledger holds it: the batch's facts above,
// a table of its files (文件, 单位, 结果, 变化, 原因) that sorts by a click on a header and can be
// narrowed to the files that need action, and below it every message of the file in hand with
// the element and value it is about. Selected rows copy as tab-separated text (Ctrl+C, 复制);
// 导出… writes the refused files into one workbook, 按单位导出… one workbook per unit. A failed
// export is shown through sink, as is the "成功写入" box naming what was written.
class ImportResultsDialog : public QDialog
{
    Q_OBJECT

public:
    using FileDialogRunner = std::function<QStringList(QFileDialog& dialog)>;
    using FolderDialogRunner = std::function<void(frmFolder& dialog)>;

    // templatePath: the workbook the exports fill; saveFolder: where they are offered first.
    ImportResultsDialog(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                        const QString& templatePath, const QString& saveFolder, MessageSink& sink,
                        QWidget* parent = nullptr);

    void SetFileDialogRunner(FileDialogRunner runner) { m_runFileDialog = std::move(runner); }
    void SetFolderDialogRunner(FolderDialogRunner runner) { m_runFolderDialog = std::move(runner); }

    // The batch's facts as the header shows them.
    QString HeaderText() const;
    // The selected rows, else every row shown, in the table's order, after a line of the column
    // captions; cells tab-separated, line breaks within a cell made spaces.
    QString CopiedText() const;
    // The cells of the rows shown, in the table's order.
    QList<QStringList> ShownRows() const;

private:
    void Fill();
    void ShowMessagesOf(int fileIndex);
    void OnCopyClicked();
    void OnExportClicked();
    void OnExportPerUnitClicked();
    // Runs an export; its failure becomes a message.
    void Export(const std::function<QString()>& work);

    const LedgerBatch m_batch;
    const QVector<LedgerFile> m_files;
    const QString m_templatePath;
    const QString m_saveFolder;
    MessageSink& m_sink;
    FileDialogRunner m_runFileDialog;
    FolderDialogRunner m_runFolderDialog;

    QLabel* m_header;
    QCheckBox* m_onlyNeedingAction;
    QTableView* m_table;
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_shown;
    QPlainTextEdit* m_messages;
    QPushButton* m_copy;
    QPushButton* m_export;
    QPushButton* m_exportPerUnit;
};
