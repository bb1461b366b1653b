#include "xls/CellTable.h"

#include "xls/BiffRecord.h"

#include <algorithm>

namespace
{
constexpr int kRowsPerBlock = 32;
constexpr quint16 kRowAlwaysSet = 0x0100;

bool CellBefore(const Cell& cell, int col)
{
    return cell.col < col;
}
} // namespace

CellTable::RowSlot& CellTable::Slot(int row)
{
    if (size_t(row) >= m_rows.size())
        m_rows.resize(size_t(row) + 1);
    return m_rows[size_t(row)];
}

void CellTable::SetRowRecord(const char* data)
{
    RowSlot& slot = Slot(Biff::U16(data));
    std::copy_n(data, 16, slot.record.data());
    slot.hasRecord = true;
}

const char* CellTable::RowRecord(int row) const
{
    if (size_t(row) >= m_rows.size() || !m_rows[size_t(row)].hasRecord)
        return nullptr;
    return m_rows[size_t(row)].record.data();
}

const Cell* CellTable::Find(int row, int col) const
{
    if (size_t(row) >= m_rows.size())
        return nullptr;
    const std::vector<Cell>& cells = m_rows[size_t(row)].cells;
    const auto it = std::lower_bound(cells.begin(), cells.end(), col, CellBefore);
    return it != cells.end() && it->col == col ? &*it : nullptr;
}

Cell& CellTable::Place(int row, int col, quint16 xf)
{
    RowSlot& slot = Slot(row);
    if (!slot.hasRecord)
    {
        slot.record.fill(0);
        char* r = slot.record.data();
        Biff::PutU16(r, quint16(row));
        Biff::PutU16(r + 6, m_defaultRowHeight);
        Biff::PutU16(r + 12, kRowAlwaysSet);
        Biff::PutU16(r + 14, 0x000F);
        slot.hasRecord = true;
    }
    std::vector<Cell>& cells = slot.cells;
    // Writes mostly go left to right: try the end first.
    auto it = cells.end();
    if (!cells.empty() && cells.back().col >= col)
    {
        it = std::lower_bound(cells.begin(), cells.end(), col, CellBefore);
        if (it->col == col)
            return *it;
    }
    it = cells.insert(it, Cell());
    it->col = quint16(col);
    it->xf = xf;
    it->number = 0;
    return *it;
}

quint32 CellTable::AddRaw(QByteArray bytes)
{
    m_raw.push_back(std::move(bytes));
    return quint32(m_raw.size() - 1);
}

quint32 CellTable::LabelSstCount() const
{
    quint32 count = 0;
    for (const RowSlot& slot : m_rows)
        for (const Cell& cell : slot.cells)
            count += cell.kind == CellKind::LabelSst ? 1 : 0;
    return count;
}

bool CellTable::Bounds(int& firstRow, int& lastRow, int& firstCol, int& lastCol) const
{
    firstRow = -1;
    for (size_t row = 0; row < m_rows.size(); ++row)
    {
        const std::vector<Cell>& cells = m_rows[row].cells;
        if (cells.empty())
            continue;
        if (firstRow < 0)
        {
            firstRow = int(row);
            firstCol = cells.front().col;
            lastCol = cells.back().col;
        }
        lastRow = int(row);
        firstCol = std::min<int>(firstCol, cells.front().col);
        lastCol = std::max<int>(lastCol, cells.back().col);
    }
    return firstRow >= 0;
}

void CellTable::WriteCells(QByteArray& out, int row, const std::vector<Cell>& cells) const
{
    char buffer[4 + 14];
    for (size_t i = 0; i < cells.size(); ++i)
    {
        const Cell& cell = cells[i];
        if (cell.kind == CellKind::Raw || cell.kind == CellKind::Formula ||
            cell.kind == CellKind::FormulaAnchor)
        {
            out.append(m_raw[cell.raw]);
            continue;
        }
        if (cell.kind == CellKind::Blank)
        {
            // A run of blanks in adjacent columns becomes one MULBLANK.
            size_t end = i + 1;
            while (end < cells.size() && cells[end].kind == CellKind::Blank &&
                   cells[end].col == cells[end - 1].col + 1)
                ++end;
            if (end - i >= 2)
            {
                QByteArray data(qsizetype(6 + 2 * (end - i)), '\0');
                char* p = data.data();
                Biff::PutU16(p, quint16(row));
                Biff::PutU16(p + 2, cell.col);
                for (size_t k = i; k < end; ++k)
                    Biff::PutU16(p + 4 + 2 * (k - i), cells[k].xf);
                Biff::PutU16(p + data.size() - 2, cells[end - 1].col);
                Biff::AppendRecord(out, Biff::kMulBlank, data.constData(), int(data.size()));
                i = end - 1;
                continue;
            }
        }
        char* data = buffer + 4;
        Biff::PutU16(data, quint16(row));
        Biff::PutU16(data + 2, cell.col);
        Biff::PutU16(data + 4, cell.xf);
        quint16 type = Biff::kBlank;
        int size = 6;
        switch (cell.kind)
        {
        case CellKind::Number:
            type = Biff::kNumber;
            Biff::PutF64(data + 6, cell.number);
            size = 14;
            break;
        case CellKind::Rk:
            type = Biff::kRk;
            Biff::PutU32(data + 6, cell.rk);
            size = 10;
            break;
        case CellKind::LabelSst:
            type = Biff::kLabelSst;
            Biff::PutU32(data + 6, cell.sst);
            size = 10;
            break;
        default:
            break;
        }
        Biff::PutU16(buffer, type);
        Biff::PutU16(buffer + 2, quint16(size));
        out.append(buffer, 4 + size);
    }
}

std::pair<int, int> CellTable::RowRange() const
{
    int first = -1;
    int last = -1;
    for (size_t row = 0; row < m_rows.size(); ++row)
    {
        if (!m_rows[row].hasRecord)
            continue;
        if (first < 0)
            first = int(row);
        last = int(row);
    }
    return first < 0 ? std::pair<int, int>(0, 0) : std::pair<int, int>(first, last + 1);
}

int CellTable::BlockCount() const
{
    const auto [first, end] = RowRange();
    int count = 0;
    for (int blockStart = first; blockStart < end; blockStart += kRowsPerBlock)
    {
        const int blockEnd = std::min(blockStart + kRowsPerBlock, end);
        for (int row = blockStart; row < blockEnd; ++row)
            if (m_rows[size_t(row)].hasRecord)
            {
                ++count;
                break;
            }
    }
    return count;
}

qsizetype CellTable::SavedSizeBound() const
{
    // A ROW record per row, a DBCELL per block, and per cell its kept record or at most a NUMBER
    // record (a blank in a MULBLANK takes fewer bytes than a BLANK record of its own).
    constexpr qsizetype kRowRecord = 4 + 16;
    constexpr qsizetype kCellRecord = 4 + 14;
    constexpr qsizetype kDbCell = 4 + 4 + 2 * kRowsPerBlock;
    qsizetype size = qsizetype(m_rows.size() / kRowsPerBlock + 1) * kDbCell;
    for (const RowSlot& slot : m_rows)
        size += (slot.hasRecord ? kRowRecord : 0) + kCellRecord * qsizetype(slot.cells.size());
    for (const QByteArray& raw : m_raw)
        size += raw.size();
    return size;
}

void CellTable::Save(QByteArray& out, std::vector<quint32>& dbCells) const
{
    const auto [first, end] = RowRange();
    const int last = end - 1;

    std::vector<int> rows;
    std::vector<qsizetype> cellStarts;
    for (int blockStart = first; blockStart <= last; blockStart += kRowsPerBlock)
    {
        rows.clear();
        const int blockEnd = std::min(blockStart + kRowsPerBlock, last + 1);
        for (int row = blockStart; row < blockEnd; ++row)
            if (m_rows[size_t(row)].hasRecord)
                rows.push_back(row);
        if (rows.empty())
            continue;
        const qsizetype firstRowPos = out.size();
        for (int row : rows)
        {
            const RowSlot& slot = m_rows[size_t(row)];
            char record[16];
            std::copy_n(slot.record.data(), 16, record);
            if (!slot.cells.empty())
            {
                // Widen the row's column range to its cells; never narrow the template's.
                int colMic = Biff::U16(record + 2);
                int colMac = Biff::U16(record + 4);
                const bool hadRange = colMac > colMic;
                const int cellMic = slot.cells.front().col;
                const int cellMac = slot.cells.back().col + 1;
                colMic = hadRange ? std::min(colMic, cellMic) : cellMic;
                colMac = hadRange ? std::max(colMac, cellMac) : cellMac;
                Biff::PutU16(record + 2, quint16(colMic));
                Biff::PutU16(record + 4, quint16(colMac));
            }
            Biff::AppendRecord(out, Biff::kRow, record, 16);
        }
        cellStarts.clear();
        for (int row : rows)
        {
            cellStarts.push_back(out.size());
            WriteCells(out, row, m_rows[size_t(row)].cells);
        }
        const qsizetype dbCellPos = out.size();
        dbCells.push_back(quint32(dbCellPos));
        char data[4 + 2 * kRowsPerBlock];
        Biff::PutU32(data, quint32(dbCellPos - firstRowPos));
        Biff::PutU16(data + 4, quint16(cellStarts[0] - (firstRowPos + 20)));
        for (size_t k = 1; k < cellStarts.size(); ++k)
            Biff::PutU16(data + 4 + 2 * k, quint16(cellStarts[k] - cellStarts[k - 1]));
        Biff::AppendRecord(out, Biff::kDbCell, data, int(4 + 2 * cellStarts.size()));
    }
}
