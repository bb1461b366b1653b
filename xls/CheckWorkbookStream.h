#pragma once

#include <QByteArray>
#include <QString>

// Reads a BIFF8 workbook stream as the writer is about to save it and checks what a reader
// follows from one record to another: every cell's format (XF) and shared string exist, each
// formula's cached result is of a known kind, each BOUNDSHEET points at the BOF of a sheet, each
// INDEX at DBCELL records (and at DEFCOLWIDTH or nowhere), each DBCELL back at a ROW, and each
// MERGEDCELLS holds the ranges it counts. A template damaged in such a place gives a file that
// other programs refuse or show wrongly, though the writer itself could fill it. Returns what
// is wrong with the first such record, in the operator's words, e.g.
// "第1张工作表 B3:单元格格式 43029 超出范围，共 21 个"; empty when the stream is sound.
QString CheckWorkbookStream(const QByteArray& stream);
