#include "reports/ImportResults.h"

#include "services/CorvaneError.h"

// Filled in by the export's own change.
void ExportRefusedFiles(const LedgerBatch&, const QVector<LedgerFile>&, const QString&, const QString&)
{
    throw CorvaneError(QStringLiteral("导出尚未实现"));
}

QStringList ExportRefusedFilesPerUnit(const LedgerBatch&, const QVector<LedgerFile>&, const QString&,
                                      const QString&)
{
    throw CorvaneError(QStringLiteral("导出尚未实现"));
}
