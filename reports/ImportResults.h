#pragma once

#include "import/LedgerRecords.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Workbooks of a batch's refused files, to send back to the reporting units: filled into the
// template 导入结果.xls beside the program, one row per message (file, unit, reason, element,
// value). Every workbook is written to a temporary name and renamed into place.

// The refused files of the batch (LedgerFile::NeedsAction) in one workbook at path. Throws
// CorvaneError.
void ExportRefusedFiles(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                        const QString& templatePath, const QString& path);

// One workbook per reporting unit with refused files, into folder, each named after its unit.
// Returns the paths written. Throws CorvaneError.
QStringList ExportRefusedFilesPerUnit(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                                      const QString& templatePath, const QString& folder);
