#include "xls/CheckWorkbookStream.h"

#include "xls/BiffRecord.h"
#include "xls/Workbook.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr quint16 kMergedCells = 0x00E5;

bool HasCellHeader(quint16 type)
{
    switch (type)
    {
    case Biff::kNumber:
    case Biff::kRk:
    case Biff::kBlank:
    case Biff::kLabelSst:
    case Biff::kLabel:
    case Biff::kRString:
    case Biff::kBoolErr:
    case Biff::kFormula:
        return true;
    default:
        return false;
    }
}

// Walks the stream once to check the cells and note where records point, then once more to see
// that a record of the right type begins at each of those places. Nothing per record is kept:
// a filled workbook has a million records.
class StreamCheck
{
public:
    explicit StreamCheck(const QByteArray& stream) : m_stream(stream) {}

    QString Run()
    {
        QString fault = CheckRecords();
        if (fault.isEmpty())
            fault = CheckClaims();
        return fault;
    }

private:
    // A record another one points at.
    enum class Pointer
    {
        SheetStart, // from the BOUNDSHEET of sheet `from`
        IndexRow,   // from an INDEX, a DBCELL
        IndexWidth, // from an INDEX, DEFCOLWIDTH
        RowBlock,   // from the DBCELL at `from`, the first ROW of its block
    };
    struct Claim
    {
        quint32 offset;
        quint16 type;
        Pointer pointer;
        quint32 from;
        quint32 sheet; // offset of the BOF of the sheet that points
    };

    // Calls visit(offset, type, data, size) for each record while it returns an empty fault.
    template <typename Visit> QString Walk(Visit visit) const
    {
        const quint32 size = quint32(m_stream.size());
        for (quint32 pos = 0; pos + 4 <= size;)
        {
            const char* header = m_stream.constData() + pos;
            const quint16 length = Biff::U16(header + 2);
            if (pos + 4 + length > size)
                return QStringLiteral("最后一条记录超出了工作簿流的结尾");
            const QString fault = visit(pos, Biff::U16(header), header + 4, int(length));
            if (!fault.isEmpty())
                return fault;
            pos += 4 + length;
        }
        return QString();
    }

    QString CheckRecords()
    {
        enum
        {
            First,
            Globals,
            Sheets
        } part = First;
        int depth = 0;
        quint32 sheet = 0;
        const QString fault = Walk(
            [&](quint32 pos, quint16 type, const char* data, int size) -> QString
            {
                switch (part)
                {
                case First:
                    if (type != Biff::kBof)
                        return QStringLiteral("工作簿流不以 BOF 记录开始");
                    part = Globals;
                    return QString();
                case Globals:
                    NoteGlobal(type, data, size);
                    if (type == Biff::kEof)
                    {
                        part = Sheets;
                        m_globalsEnd = pos + 4 + quint32(size);
                    }
                    return QString();
                case Sheets:
                    break;
                }
                if (type == Biff::kBof && depth++ == 0)
                {
                    sheet = pos;
                    m_sheetName.clear();
                }
                else if (type == Biff::kEof && depth > 0)
                    --depth;
                else if (depth == 1)
                    return CheckSheetRecord(pos, type, data, size, sheet);
                return QString();
            });
        if (!fault.isEmpty())
            return fault;
        if (part != Sheets)
            return QStringLiteral("全局记录没有结尾");
        return QString();
    }

    void NoteGlobal(quint16 type, const char* data, int size)
    {
        if (type == Biff::kXf)
            ++m_xfCount;
        else if (type == Biff::kBoundSheet && size >= 4)
        {
            m_claims.push_back(
                {Biff::U32(data), Biff::kBof, Pointer::SheetStart, quint32(m_sheetPositions.size()), 0});
            m_sheetPositions.push_back(Biff::U32(data));
        }
        else if (type == Biff::kSst && size >= 8)
            m_stringCount = Biff::U32(data + 4);
    }

    QString SheetName(quint32 bofOffset) const
    {
        const auto found = std::find(m_sheetPositions.begin(), m_sheetPositions.end(), bofOffset);
        if (found == m_sheetPositions.end())
            return QStringLiteral("位于 %1 的工作表").arg(bofOffset);
        return QStringLiteral("第%1张工作表").arg(found - m_sheetPositions.begin() + 1);
    }

    // The name of the sheet being walked, made once per sheet and only for a fault.
    const QString& Name(quint32 sheet)
    {
        if (m_sheetName.isEmpty())
            m_sheetName = SheetName(sheet);
        return m_sheetName;
    }

    QString CheckFormat(quint32 sheet, int col, int row, quint16 xf)
    {
        if (xf < m_xfCount)
            return QString();
        return Name(sheet) + QStringLiteral(" %1:单元格格式 %2 超出范围，共 %3 个")
                                 .arg(CellName(col, row))
                                 .arg(xf)
                                 .arg(m_xfCount);
    }

    QString CheckSheetRecord(quint32 pos, quint16 type, const char* data, int size, quint32 sheet)
    {
        if (HasCellHeader(type) && size >= 6)
        {
            const int row = Biff::U16(data);
            const int col = Biff::U16(data + 2);
            QString fault = CheckFormat(sheet, col, row, Biff::U16(data + 4));
            if (!fault.isEmpty())
                return fault;
            if (type == Biff::kLabelSst && size >= 10 && Biff::U32(data + 6) >= m_stringCount)
                return Name(sheet) + QStringLiteral(" %1:共享字符串 %2 超出范围，共 %3 个")
                                         .arg(CellName(col, row))
                                         .arg(Biff::U32(data + 6))
                                         .arg(m_stringCount);
            // A cached result that is no number names its kind: text, truth value, error, empty.
            if (type == Biff::kFormula && size >= 14 && Biff::U16(data + 12) == 0xFFFF && quint8(data[6]) > 3)
                return Name(sheet) + QStringLiteral(" %1:公式结果的类型 %2 无效")
                                         .arg(CellName(col, row))
                                         .arg(quint8(data[6]));
            return QString();
        }
        switch (type)
        {
        case Biff::kMulRk:
        case Biff::kMulBlank:
        {
            const int width = type == Biff::kMulRk ? 6 : 2;
            for (int k = 0; size >= 6 && 4 + k * width + 2 <= size - 2; ++k)
            {
                const QString fault = CheckFormat(sheet, Biff::U16(data + 2) + k, Biff::U16(data),
                                                  Biff::U16(data + 4 + k * width));
                if (!fault.isEmpty())
                    return fault;
            }
            return QString();
        }
        case kMergedCells:
            if (size < 2 || 2 + 8 * int(Biff::U16(data)) > size)
                return Name(sheet) +
                       QStringLiteral("位于 %1 的合并单元格记录列出的区域多于它所含的").arg(pos);
            return QString();
        case Biff::kIndex:
            if (size >= 16 && Biff::U32(data + 12) != 0)
                m_claims.push_back(
                    {Biff::U32(data + 12), Biff::kDefColWidth, Pointer::IndexWidth, pos, sheet});
            for (int k = 16; k + 4 <= size; k += 4)
                m_claims.push_back({Biff::U32(data + k), Biff::kDbCell, Pointer::IndexRow, pos, sheet});
            return QString();
        case Biff::kDbCell:
            if (size >= 4)
            {
                const quint32 back = Biff::U32(data);
                m_claims.push_back(
                    {back > pos ? quint32(-1) : pos - back, Biff::kRow, Pointer::RowBlock, pos, sheet});
            }
            return QString();
        default:
            return QString();
        }
    }

    QString Describe(const Claim& claim) const
    {
        switch (claim.pointer)
        {
        case Pointer::SheetStart:
            return QStringLiteral("第%1张工作表的位置 %2 处不是工作表的开头")
                .arg(claim.from + 1)
                .arg(claim.offset);
        case Pointer::IndexRow:
            return SheetName(claim.sheet) +
                   QStringLiteral("的 INDEX 指向 %1 处，那里不是 DBCELL 记录").arg(claim.offset);
        case Pointer::IndexWidth:
            return SheetName(claim.sheet) +
                   QStringLiteral("的 INDEX 指向 %1 处，那里不是 DEFCOLWIDTH 记录").arg(claim.offset);
        case Pointer::RowBlock:
            break;
        }
        return SheetName(claim.sheet) +
               QStringLiteral("位于 %1 的 DBCELL 指向的不是 ROW 记录").arg(claim.from);
    }

    QString CheckClaims()
    {
        std::stable_sort(m_claims.begin(), m_claims.end(),
                         [](const Claim& a, const Claim& b) { return a.offset < b.offset; });
        size_t next = 0;
        const QString fault = Walk(
            [&](quint32 pos, quint16 type, const char*, int) -> QString
            {
                for (; next < m_claims.size() && m_claims[next].offset <= pos; ++next)
                {
                    const Claim& claim = m_claims[next];
                    const bool sheetAfterGlobals =
                        claim.pointer != Pointer::SheetStart || pos >= m_globalsEnd;
                    if (claim.offset != pos || claim.type != type || !sheetAfterGlobals)
                        return Describe(claim);
                }
                return QString();
            });
        if (!fault.isEmpty())
            return fault;
        return next < m_claims.size() ? Describe(m_claims[next]) : QString();
    }

    const QByteArray& m_stream;
    std::vector<Claim> m_claims;
    std::vector<quint32> m_sheetPositions; // of each BOUNDSHEET, in tab order
    QString m_sheetName;                   // of the sheet being walked, once needed
    quint32 m_globalsEnd = 0;
    quint32 m_xfCount = 0;
    quint32 m_stringCount = 0;
};
} // namespace

QString CheckWorkbookStream(const QByteArray& stream)
{
    return StreamCheck(stream).Run();
}
