#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <utility>
#include <vector>

// The kinds of cell that a sheet holds in memory.
enum class CellKind : quint8
{
    Blank,
    Number,
    Rk,            // a number kept in the template's compressed form
    LabelSst,      // an index into the shared strings
    Raw,           // LABEL, RSTRING or BOOLERR record of the template, kept as it is
    Formula,       // a FORMULA record and the records that follow it, kept as they are
    FormulaAnchor, // a formula that other cells' shared or array formulas point to
};

struct Cell
{
    quint16 col = 0;
    quint16 xf = 0;
    CellKind kind = CellKind::Blank;
    union
    {
        double number;
        quint32 rk;
        quint32 sst;
        quint32 raw; // index of the record bytes in the table's raw list
    };
};

// The cells of one worksheet, row by row: a slot per row number with the row's ROW record and
// its cells sorted by column. Finding or adding a cell is a direct row access and a binary search
// over at most 256 columns.
class CellTable
{
public:
    // The height of rows that the writer adds (DEFAULTROWHEIGHT of the sheet, in twips).
    void SetDefaultRowHeight(quint16 height) { m_defaultRowHeight = height; }

    // Keeps a ROW record of the template (16 bytes of data).
    void SetRowRecord(const char* data);
    // The data of the row's ROW record, or nullptr when the row has none.
    const char* RowRecord(int row) const;

    const Cell* Find(int row, int col) const;
    // The cell at (row, col), added as a blank with format xf when missing; its row gets a ROW
    // record when it has none.
    Cell& Place(int row, int col, quint16 xf);

    quint32 AddRaw(QByteArray bytes);
    const QByteArray& Raw(quint32 index) const { return m_raw[index]; }

    quint32 LabelSstCount() const;
    bool IsEmpty() const { return m_rows.empty(); }

    // The bounding box of the cells: first and last row and column; false when there are none.
    bool Bounds(int& firstRow, int& lastRow, int& firstCol, int& lastCol) const;

    // The first row and one past the last row with a ROW record (both 0 when there is none).
    std::pair<int, int> RowRange() const;
    // The number of blocks (32 row numbers from the first row on) holding a ROW record.
    int BlockCount() const;

    // At least the bytes that Save appends.
    qsizetype SavedSizeBound() const;
    // Appends the cell table to out: per block the ROW records, the cells and a DBCELL. out holds
    // the workbook stream from offset 0; dbCells receives the DBCELL positions.
    void Save(QByteArray& out, std::vector<quint32>& dbCells) const;

private:
    struct RowSlot
    {
        std::vector<Cell> cells;
        std::array<char, 16> record{};
        bool hasRecord = false;
    };
    RowSlot& Slot(int row);
    void WriteCells(QByteArray& out, int row, const std::vector<Cell>& cells) const;

    std::vector<RowSlot> m_rows;
    std::vector<QByteArray> m_raw;
    quint16 m_defaultRowHeight = 255;
};
