#pragma once

#include "xls/BiffRecord.h"
#include "xls/CellTable.h"
#include "xls/Workbook.h"

#include <QString>
#include <array>
#include <vector>

class SharedStrings;
struct XfTable;

// One worksheet of a BIFF8 workbook. The cells live in a CellTable; every other record of the
// sheet stays as the template has it and is written back in its place, except INDEX and
// DIMENSIONS, which are rebuilt to fit the cells.
class XlsWorksheet : public Worksheet
{
public:
    // stream and records are the workbook stream and its records; the sheet's substream runs from
    // records[first] (its BOF) to records[last] (its EOF). Both must outlive the sheet.
    XlsWorksheet(const QString& name, const QByteArray& stream, const std::vector<BiffRecord>& records,
                 size_t first, size_t last, SharedStrings& strings, const XfTable& xfs);

    // Reads the sheet's cells. Returns false, with a reason in problem, when the cell records break
    // the rules of the format (a record that does not belong among them, a column past 255).
    bool Parse(QString& problem);

    void WriteText(int col, int row, int format, const QString& text) override;
    void WriteNumber(int col, int row, int format, double number) override;
    QString ReadCell(int col, int row) const override;

    // The number of cells that refer to a shared string.
    quint32 LabelSstCount() const { return m_cells.LabelSstCount(); }

    // At least the bytes that Save appends.
    qsizetype SavedSizeBound() const;
    // Appends the sheet's substream to out, which holds the workbook stream from offset 0.
    void Save(QByteArray& out) const;

private:
    struct Range
    {
        int firstRow, lastRow, firstCol, lastCol;
    };
    bool ParseCellTable(size_t begin, size_t end, QString& problem);
    bool IsCellTableRecord(quint16 type) const;
    void CheckPosition(int col, int row) const;
    Cell& Target(int col, int row);
    quint16 NewCellFormat(int col, int row) const;
    void WidenTemplateDimensions(const std::array<int, 4>& range);
    void AppendDimensions(QByteArray& out) const;

    static constexpr size_t kNone = size_t(-1);
    QString m_name;
    const QByteArray& m_stream;
    const std::vector<BiffRecord>& m_records;
    size_t m_first;
    size_t m_last;
    SharedStrings& m_strings;
    const XfTable& m_xfs;

    size_t m_indexAt = kNone;
    size_t m_dimensionsAt = kNone;
    size_t m_tableBegin = kNone;               // first record of the cell table
    size_t m_tableEnd = kNone;                 // one past its last record
    std::array<int, 4> m_templateDimensions{}; // rwMic, rwMac, colMic, colMac
    std::array<int, 256> m_columnFormat;       // from COLINFO, -1 where none
    std::vector<Range> m_lockedRanges;         // ranges of array formulas and data tables
    CellTable m_cells;
};
