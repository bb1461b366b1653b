#include "xls/XlsWorksheet.h"

#include "services/CorvaneError.h"
#include "xls/CellValue.h"
#include "xls/SharedStrings.h"
#include "xls/XfTable.h"

#include <algorithm>

namespace
{
constexpr quint16 kRowGhostDirty = 0x0080;

bool IsFormulaFollower(quint16 type)
{
    return type == Biff::kShrFmla || type == Biff::kArray || type == Biff::kTable || type == Biff::kString ||
           type == Biff::kContinue;
}

bool IsCellRecord(quint16 type)
{
    switch (type)
    {
    case Biff::kNumber:
    case Biff::kRk:
    case Biff::kMulRk:
    case Biff::kBlank:
    case Biff::kMulBlank:
    case Biff::kLabelSst:
    case Biff::kLabel:
    case Biff::kRString:
    case Biff::kBoolErr:
    case Biff::kFormula:
    case Biff::kRow:
        return true;
    default:
        return false;
    }
}

} // namespace

XlsWorksheet::XlsWorksheet(const QString& name, const QByteArray& stream,
                           const std::vector<BiffRecord>& records, size_t first, size_t last,
                           SharedStrings& strings, const XfTable& xfs)
    : m_name(name), m_stream(stream), m_records(records), m_first(first), m_last(last), m_strings(strings),
      m_xfs(xfs)
{
    m_columnFormat.fill(-1);
}

bool XlsWorksheet::IsCellTableRecord(quint16 type) const
{
    return IsCellRecord(type) || type == Biff::kDbCell || IsFormulaFollower(type);
}

bool XlsWorksheet::Parse(QString& problem)
{
    int depth = 0;
    size_t lastCellRecord = kNone;
    for (size_t i = m_first; i <= m_last; ++i)
    {
        const BiffRecord& record = m_records[i];
        const char* data = record.Data(m_stream);
        if (record.type == Biff::kBof)
            ++depth;
        else if (record.type == Biff::kEof)
            --depth;
        if (depth != 1 || record.type == Biff::kBof)
            continue;
        switch (record.type)
        {
        case Biff::kIndex:
            if (m_indexAt == kNone)
                m_indexAt = i;
            break;
        case Biff::kDimensions:
            // A sheet has one; of a template with more, the first stays, covering them all.
            if (record.size >= 12)
                WidenTemplateDimensions({int(Biff::U32(data)), int(Biff::U32(data + 4)), Biff::U16(data + 8),
                                         Biff::U16(data + 10)});
            if (m_dimensionsAt == kNone)
                m_dimensionsAt = i;
            break;
        case Biff::kDefaultRowHeight:
            if (record.size >= 4)
                m_cells.SetDefaultRowHeight(Biff::U16(data + 2));
            break;
        case Biff::kColInfo:
            if (record.size >= 8)
                for (int col = Biff::U16(data); col <= std::min<int>(Biff::U16(data + 2), Biff::kMaxCol);
                     ++col)
                    m_columnFormat[size_t(col)] = Biff::U16(data + 6);
            break;
        default:
            if (IsCellRecord(record.type) && m_tableBegin == kNone)
                m_tableBegin = i;
            // A CONTINUE belongs to the cell table only right behind one of its records (TXO and
            // drawing records after the table have CONTINUEs too).
            if (m_tableBegin != kNone && IsCellTableRecord(record.type) &&
                (record.type != Biff::kContinue || lastCellRecord == i - 1))
                lastCellRecord = i;
            break;
        }
    }
    if (m_tableBegin == kNone)
        return true;
    m_tableEnd = lastCellRecord + 1;
    return ParseCellTable(m_tableBegin, m_tableEnd, problem);
}

bool XlsWorksheet::ParseCellTable(size_t begin, size_t end, QString& problem)
{
    for (size_t i = begin; i < end;)
    {
        const BiffRecord& record = m_records[i];
        const char* data = record.Data(m_stream);
        if (record.type == Biff::kDbCell)
        {
            ++i;
            continue;
        }
        if (record.type == Biff::kRow)
        {
            if (record.size < 16)
            {
                problem = "ROW 记录不完整";
                return false;
            }
            m_cells.SetRowRecord(data);
            ++i;
            continue;
        }
        if (!IsCellRecord(record.type))
        {
            problem = QString("单元格记录之间有不属于它们的记录 0x%1").arg(record.type, 4, 16, QChar('0'));
            return false;
        }
        if (record.size < 6)
        {
            problem = "单元格记录不完整";
            return false;
        }
        const int row = Biff::U16(data);
        const int col = Biff::U16(data + 2);
        if (record.type == Biff::kMulRk || record.type == Biff::kMulBlank)
        {
            const int width = record.type == Biff::kMulRk ? 6 : 2;
            const int count = (record.size - 6) / width;
            if (col + count - 1 > Biff::kMaxCol)
            {
                problem = "单元格的列号超过 255";
                return false;
            }
            for (int k = 0; k < count; ++k)
            {
                const char* item = data + 4 + k * width;
                Cell& cell = m_cells.Place(row, col + k, Biff::U16(item));
                cell.xf = Biff::U16(item);
                cell.kind = record.type == Biff::kMulRk ? CellKind::Rk : CellKind::Blank;
                cell.rk = record.type == Biff::kMulRk ? Biff::U32(item + 2) : 0;
            }
            ++i;
            continue;
        }
        if (col > Biff::kMaxCol)
        {
            problem = "单元格的列号超过 255";
            return false;
        }
        Cell& cell = m_cells.Place(row, col, Biff::U16(data + 4));
        cell.xf = Biff::U16(data + 4);
        size_t next = i + 1;
        switch (record.type)
        {
        case Biff::kNumber:
            cell.kind = CellKind::Number;
            cell.number = record.size >= 14 ? Biff::F64(data + 6) : 0;
            break;
        case Biff::kRk:
            cell.kind = CellKind::Rk;
            cell.rk = record.size >= 10 ? Biff::U32(data + 6) : 0;
            break;
        case Biff::kBlank:
            cell.kind = CellKind::Blank;
            break;
        case Biff::kLabelSst:
            cell.kind = CellKind::LabelSst;
            cell.sst = record.size >= 10 ? Biff::U32(data + 6) : 0;
            break;
        case Biff::kFormula:
        {
            // The formula moves as one unit with the records that follow it. One followed by
            // SHRFMLA, ARRAY or TABLE anchors formulas of other cells.
            cell.kind = CellKind::Formula;
            while (next < end && IsFormulaFollower(m_records[next].type))
            {
                const BiffRecord& follower = m_records[next];
                const char* f = follower.Data(m_stream);
                if (follower.type == Biff::kShrFmla || follower.type == Biff::kArray ||
                    follower.type == Biff::kTable)
                    cell.kind = CellKind::FormulaAnchor;
                if ((follower.type == Biff::kArray || follower.type == Biff::kTable) && follower.size >= 6)
                    m_lockedRanges.push_back({Biff::U16(f), Biff::U16(f + 2), quint8(f[4]), quint8(f[5])});
                ++next;
            }
            cell.raw = m_cells.AddRaw(m_stream.mid(record.offset, m_records[next - 1].End() - record.offset));
            break;
        }
        default: // LABEL, RSTRING, BOOLERR
            cell.kind = CellKind::Raw;
            cell.raw = m_cells.AddRaw(m_stream.mid(record.offset, record.End() - record.offset));
            break;
        }
        i = next;
    }
    return true;
}

void XlsWorksheet::CheckPosition(int col, int row) const
{
    if (row < 0 || row > Biff::kMaxRow)
        throw CorvaneError("行号超出范围(0-65535):" + QString::number(row));
    if (col < 0 || col > Biff::kMaxCol)
        throw CorvaneError("列号超出范围(0-255):" + QString::number(col));
}

quint16 XlsWorksheet::NewCellFormat(int col, int row) const
{
    int xf = 15;
    const char* rowRecord = m_cells.RowRecord(row);
    if (rowRecord != nullptr && (Biff::U16(rowRecord + 12) & kRowGhostDirty) != 0)
        xf = Biff::U16(rowRecord + 14) & 0x0FFF;
    else if (m_columnFormat[size_t(col)] >= 0)
        xf = m_columnFormat[size_t(col)];
    return m_xfs.Usable(xf);
}

Cell& XlsWorksheet::Target(int col, int row)
{
    CheckPosition(col, row);
    const Cell* existing = m_cells.Find(row, col);
    bool locked = existing != nullptr && existing->kind == CellKind::FormulaAnchor;
    for (const Range& range : m_lockedRanges)
        locked = locked || (row >= range.firstRow && row <= range.lastRow && col >= range.firstCol &&
                            col <= range.lastCol);
    if (locked)
        throw CorvaneError("模板单元格属于共享公式或数组公式，不能改写:" + m_name + "!" + CellName(col, row));
    return m_cells.Place(row, col, existing != nullptr ? existing->xf : NewCellFormat(col, row));
}

void XlsWorksheet::WriteText(int col, int row, int /*format*/, const QString& text)
{
    if (text.size() > Biff::kMaxTextLength)
        throw CorvaneError("文本超过 32767 个字符，不能写入单元格:" + m_name + "!" + CellName(col, row));
    Cell& cell = Target(col, row);
    if (text.isEmpty())
    {
        cell.kind = CellKind::Blank;
        return;
    }
    cell.kind = CellKind::LabelSst;
    cell.sst = m_strings.Add(text);
}

void XlsWorksheet::WriteNumber(int col, int row, int /*format*/, double number)
{
    Cell& cell = Target(col, row);
    cell.kind = CellKind::Number;
    cell.number = number;
}

QString XlsWorksheet::ReadCell(int col, int row) const
{
    CheckPosition(col, row);
    const Cell* cell = m_cells.Find(row, col);
    if (cell == nullptr)
        return QString();
    switch (cell->kind)
    {
    case CellKind::Number:
        return FormatCellNumber(cell->number);
    case CellKind::Rk:
        return FormatCellNumber(DecodeRk(cell->rk));
    case CellKind::LabelSst:
        return m_strings.Text(cell->sst);
    case CellKind::Raw:
    case CellKind::Formula:
    case CellKind::FormulaAnchor:
        return RawCellText(m_cells.Raw(cell->raw));
    default:
        return QString();
    }
}

void XlsWorksheet::WidenTemplateDimensions(const std::array<int, 4>& range)
{
    auto isEmpty = [](const std::array<int, 4>& r) { return r[1] <= r[0] || r[3] <= r[2]; };
    std::array<int, 4>& t = m_templateDimensions;
    if (isEmpty(t))
        t = range;
    else if (!isEmpty(range))
        t = {std::min(t[0], range[0]), std::max(t[1], range[1]), std::min(t[2], range[2]),
             std::max(t[3], range[3])};
}

void XlsWorksheet::AppendDimensions(QByteArray& out) const
{
    auto [rwMic, rwMac, colMic, colMac] = m_templateDimensions;
    int firstRow, lastRow, firstCol, lastCol;
    if (m_cells.Bounds(firstRow, lastRow, firstCol, lastCol))
    {
        const bool templateEmpty = rwMac <= rwMic || colMac <= colMic;
        rwMic = templateEmpty ? firstRow : std::min(rwMic, firstRow);
        rwMac = templateEmpty ? lastRow + 1 : std::max(rwMac, lastRow + 1);
        colMic = templateEmpty ? firstCol : std::min(colMic, firstCol);
        colMac = templateEmpty ? lastCol + 1 : std::max(colMac, lastCol + 1);
    }
    char data[14] = {};
    Biff::PutU32(data, quint32(rwMic));
    Biff::PutU32(data + 4, quint32(rwMac));
    Biff::PutU16(data + 8, quint16(colMic));
    Biff::PutU16(data + 10, quint16(colMac));
    Biff::AppendRecord(out, Biff::kDimensions, data, 14);
}

qsizetype XlsWorksheet::SavedSizeBound() const
{
    // The template's records, a new INDEX and DIMENSIONS, and the cell table.
    constexpr qsizetype kDimensions = 4 + 14;
    const qsizetype records = qsizetype(m_records[m_last].End() - m_records[m_first].offset);
    const qsizetype index = 4 + 16 + 4 * qsizetype(m_cells.BlockCount());
    return records + index + kDimensions + m_cells.SavedSizeBound();
}

void XlsWorksheet::Save(QByteArray& out) const
{
    qsizetype indexPos = -1;
    qsizetype defColWidthPos = 0;
    std::vector<quint32> dbCells;
    bool tableWritten = false;
    const int blocks = m_cells.BlockCount();
    const QByteArray indexPlaceholder(16 + 4 * blocks, '\0');
    auto writeTable = [&]
    {
        if (m_dimensionsAt == kNone)
            AppendDimensions(out);
        m_cells.Save(out, dbCells);
        tableWritten = true;
    };

    int depth = 0;
    for (size_t i = m_first; i <= m_last; ++i)
    {
        const BiffRecord& record = m_records[i];
        if (record.type == Biff::kBof)
            ++depth;
        const bool top = depth == 1 && record.type != Biff::kBof;
        if (top && i == m_tableBegin)
        {
            writeTable();
            i = m_tableEnd - 1;
            continue;
        }
        if (top && record.type == Biff::kEof && !tableWritten && !m_cells.IsEmpty())
            writeTable();
        if (top &&
            (record.type == Biff::kWindow2 && m_dimensionsAt == kNone && !tableWritten && !m_cells.IsEmpty()))
            writeTable();
        if (record.type == Biff::kEof)
            --depth;

        // INDEX and DIMENSIONS are rebuilt in the place of the first of each; further copies go, or
        // the cell table would follow each DIMENSIONS and outgrow its INDEX.
        if (top && record.type == Biff::kIndex)
        {
            if (i == m_indexAt)
            {
                indexPos = out.size();
                Biff::AppendRecord(out, Biff::kIndex, indexPlaceholder.constData(),
                                   int(indexPlaceholder.size()));
            }
            continue;
        }
        if (top && record.type == Biff::kDimensions)
        {
            if (i == m_dimensionsAt)
            {
                AppendDimensions(out);
                if (m_tableBegin == kNone && !m_cells.IsEmpty())
                    writeTable();
            }
            continue;
        }
        if (top && record.type == Biff::kDefColWidth)
            defColWidthPos = out.size();
        out.append(m_stream.constData() + record.offset, record.size + 4);

        // A sheet without INDEX gets one after BOF (and after UNCALCED right behind it).
        const bool afterBof = i == m_first && m_records[i + 1].type != Biff::kUncalced;
        const bool afterUncalced = i == m_first + 1 && record.type == Biff::kUncalced;
        if (m_indexAt == kNone && (afterBof || afterUncalced))
        {
            indexPos = out.size();
            Biff::AppendRecord(out, Biff::kIndex, indexPlaceholder.constData(), int(indexPlaceholder.size()));
        }
    }

    if (dbCells.size() != size_t(blocks))
        throw CorvaneError("无法保存工作表:" + m_name + "（单元格表与 INDEX 不一致）");
    const auto [firstRow, endRow] = m_cells.RowRange();
    char* index = out.data() + indexPos + 4;
    Biff::PutU32(index + 4, quint32(firstRow));
    Biff::PutU32(index + 8, quint32(endRow));
    Biff::PutU32(index + 12, quint32(defColWidthPos));
    for (size_t k = 0; k < dbCells.size(); ++k)
        Biff::PutU32(index + 16 + 4 * k, dbCells[k]);
}
