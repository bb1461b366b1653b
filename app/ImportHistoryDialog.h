#pragma once

#include "import/LedgerRecords.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QTreeWidget;

// The import batches the ledger holds, newest first: start (local time), kind, the counts and who
// ran it. A double click or 打开 hands the batch to open, which shows its results.
class ImportHistoryDialog : public QDialog
{
    Q_OBJECT

public:
    ImportHistoryDialog(const QVector<LedgerBatch>& batches, std::function<void(const LedgerBatch&)> open,
                        QWidget* parent = nullptr);

    // The list as shown, a row of cells per batch.
    QList<QStringList> Rows() const;
    // Selects the batch in row and opens it, as a double click does.
    void OpenRow(int row);

private:
    void OnOpenClicked();

    const QVector<LedgerBatch> m_batches;
    const std::function<void(const LedgerBatch&)> m_open;
    QTreeWidget* m_list;
    QPushButton* m_openButton;
};
