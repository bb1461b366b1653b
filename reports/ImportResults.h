#pragma once

#include "import/LedgerRecords.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Workbooks of a batch's refused files, to send back to the reporting units: filled into the
// template 导入结果.xls beside the program, one row per message (file, unit id, unit name,
// outcome, message, element, value) from row 4 on, a refused file without messages in one row
// with its outcome as the reason; the batch's id, local start time and kind in B2, E2 and G2.
// A text longer than a cell holds is cut to its first 32767 characters. Every workbook is
// written to a temporary name and renamed into place.

// The refused files of the batch (LedgerFile::NeedsAction) in one workbook at path. Throws
// CorvaneError "导出导入结果失败:" + what failed (a missing template: "找不到模板工作簿:" + its
// path; past the last row of a sheet: the row limit).
void ExportRefusedFiles(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                        const QString& templatePath, const QString& path);

// One workbook per reporting unit with refused files, into folder (made when missing), each
// named after its unit: name + "_" + id, or the id alone, with characters a file name cannot
// hold replaced by "_"; the files without a unit id together in "未知单位.xls". Returns the paths
// written, in the order the batch met the units; none when nothing was refused. Throws as above.
QStringList ExportRefusedFilesPerUnit(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                                      const QString& templatePath, const QString& folder);
