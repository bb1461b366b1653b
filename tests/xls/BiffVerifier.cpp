#include "BiffVerifier.h"

#include "XlsTestFiles.h"

#include <QtEndian>
#include <array>
#include <map>
#include <set>
#include <vector>

namespace
{
struct Record
{
    quint16 type;
    quint16 size;
    quint32 pos;
    const uchar* data;
};

quint16 U16(const uchar* p)
{
    return qFromLittleEndian<quint16>(p);
}
quint32 U32(const uchar* p)
{
    return qFromLittleEndian<quint32>(p);
}

// FORMULA, NUMBER, RK, MULRK, BLANK, MULBLANK, LABELSST, LABEL, RSTRING, BOOLERR.
bool IsCellType(quint16 type)
{
    for (quint16 cell : {0x0006, 0x0203, 0x027E, 0x00BD, 0x0201, 0x00BE, 0x00FD, 0x0204, 0x00D6, 0x0205})
        if (type == cell)
            return true;
    return false;
}

class Verifier
{
public:
    explicit Verifier(const QByteArray& stream) : m_stream(stream) {}

    QStringList Run()
    {
        if (!Split())
            return m_problems;
        const size_t globalsEnd = CheckGlobals();
        for (size_t i = globalsEnd + 1; i < m_records.size(); ++i)
        {
            if (m_records[i].type != 0x0809)
            {
                Problem(QString("record 0x%1 outside any substream").arg(m_records[i].type, 0, 16));
                continue;
            }
            const size_t end = SubstreamEnd(i);
            if (U16(m_records[i].data + 2) == 0x0010)
                CheckWorksheet(i, end);
            i = end;
        }
        if (m_labelSst != m_sstTotal)
            Problem(QString("SST cstTotal %1 but %2 LABELSST cells").arg(m_sstTotal).arg(m_labelSst));
        return m_problems;
    }

private:
    void Problem(const QString& text) { m_problems << text; }

    bool Split()
    {
        const auto* base = reinterpret_cast<const uchar*>(m_stream.constData());
        quint32 pos = 0;
        while (pos + 4 <= quint32(m_stream.size()))
        {
            Record r{U16(base + pos), U16(base + pos + 2), pos, base + pos + 4};
            if (pos + 4 + r.size > quint32(m_stream.size()))
            {
                Problem("record runs past the end of the stream");
                return false;
            }
            if (r.size > 8224)
                Problem(QString("record 0x%1 at %2 has %3 bytes").arg(r.type, 0, 16).arg(pos).arg(r.size));
            m_byPos[pos] = m_records.size();
            m_records.push_back(r);
            pos += 4 + r.size;
        }
        if (m_records.empty() || m_records[0].type != 0x0809 || U16(m_records[0].data) != 0x0600)
        {
            Problem("no BIFF8 BOF at the start");
            return false;
        }
        return true;
    }

    size_t SubstreamEnd(size_t first) const
    {
        int depth = 0;
        for (size_t i = first; i < m_records.size(); ++i)
        {
            depth += m_records[i].type == 0x0809 ? 1 : m_records[i].type == 0x000A ? -1 : 0;
            if (depth == 0)
                return i;
        }
        return m_records.size() - 1;
    }

    size_t CheckGlobals()
    {
        size_t i = 1;
        bool recalc = false;
        for (; i < m_records.size() && m_records[i].type != 0x000A; ++i)
        {
            const Record& r = m_records[i];
            if (r.type == 0x0085)
            {
                const auto found = m_byPos.find(U32(r.data));
                if (found == m_byPos.end() || m_records[found->second].type != 0x0809)
                    Problem(QString("BOUNDSHEET points at %1, not at a BOF").arg(U32(r.data)));
            }
            else if (r.type == 0x00E0)
                m_xfCount++;
            else if (r.type == 0x00FC)
                CheckSst(i);
            else if (r.type == 0x01C1)
            {
                recalc = true;
                if (U32(r.data + 4) != 0)
                    Problem("RECALCID is not 0");
            }
        }
        if (!recalc)
            Problem("no RECALCID");
        return i;
    }

    // Walks the strings with the CONTINUE rules and checks EXTSST against where they start.
    void CheckSst(size_t index)
    {
        std::vector<size_t> segments{index};
        for (size_t k = index + 1; k < m_records.size() && m_records[k].type == 0x003C; ++k)
            segments.push_back(k);
        size_t seg = 0;
        quint32 off = 8;
        m_sstTotal = U32(m_records[index].data);
        m_sstUnique = U32(m_records[index].data + 4);
        auto left = [&] { return quint32(m_records[segments[seg]].size) - off; };
        auto next = [&]
        {
            if (seg + 1 >= segments.size())
                return false;
            ++seg;
            off = 0;
            return true;
        };
        std::vector<std::pair<quint32, quint32>> starts; // stream position, record header position
        for (quint32 s = 0; s < m_sstUnique; ++s)
        {
            if (left() == 0 && !next())
            {
                Problem(QString("SST ends after %1 of %2 strings").arg(s).arg(m_sstUnique));
                return;
            }
            const uchar* p = m_records[segments[seg]].data + off;
            const quint16 cch = U16(p);
            const uchar flags = p[2];
            const quint32 header = 3 + ((flags & 8) ? 2 : 0) + ((flags & 4) ? 4 : 0);
            const quint32 width = (flags & 1) ? 2 : 1;
            if (left() < header + (cch > 0 ? width : 0))
                Problem(QString("SST string %1: header and first character split").arg(s));
            const quint16 runs = (flags & 8) ? U16(p + 3) : 0;
            const quint32 ext = (flags & 4) ? U32(p + 3 + ((flags & 8) ? 2 : 0)) : 0;
            starts.push_back({m_records[segments[seg]].pos + 4 + off, m_records[segments[seg]].pos});
            off += header;
            quint32 chars = cch;
            quint32 w = width;
            while (chars > 0)
            {
                if (left() == 0)
                {
                    if (!next())
                        return Problem("SST characters run past the end");
                    const uchar f = m_records[segments[seg]].data[0];
                    if (f > 1)
                        Problem(QString("SST string %1: continued characters without a flags byte").arg(s));
                    w = (f & 1) ? 2 : 1;
                    off = 1;
                }
                const quint32 n = std::min(chars, left() / w);
                if (n == 0)
                    return Problem(QString("SST string %1: a character split between records").arg(s));
                off += n * w;
                chars -= n;
            }
            for (quint32 r = 0; r < runs; ++r)
            {
                if (left() == 0 && !next())
                    return Problem("SST runs past the end");
                if (left() < 4)
                    return Problem(QString("SST string %1: a formatting run split").arg(s));
                off += 4;
            }
            quint32 rest = ext;
            while (rest > 0)
            {
                if (left() == 0 && !next())
                    return Problem("SST phonetic data past the end");
                const quint32 n = std::min(rest, left());
                off += n;
                rest -= n;
            }
        }
        if (left() != 0 || seg + 1 != segments.size())
            Problem("SST has bytes after its last string");
        const size_t extIndex = segments.back() + 1;
        if (extIndex >= m_records.size() || m_records[extIndex].type != 0x00FF)
            return Problem("no EXTSST right after the SST");
        const Record& ext = m_records[extIndex];
        const quint16 dsst = U16(ext.data);
        const quint32 expectedDsst = std::max<quint32>(m_sstUnique / 128 + 1, 8);
        if (dsst != expectedDsst)
            Problem(QString("EXTSST dsst %1, expected %2").arg(dsst).arg(expectedDsst));
        const quint32 buckets = dsst == 0 ? 0 : (m_sstUnique + dsst - 1) / dsst;
        if (ext.size != 2 + 8 * buckets)
            return Problem(QString("EXTSST has %1 bytes for %2 buckets").arg(ext.size).arg(buckets));
        for (quint32 b = 0; b < buckets; ++b)
        {
            const quint32 ib = U32(ext.data + 2 + 8 * b);
            const quint16 cb = U16(ext.data + 6 + 8 * b);
            if (ib != starts[b * dsst].first || ib - cb != starts[b * dsst].second)
                Problem(QString("EXTSST bucket %1 points at %2/%3, string starts at %4 in record %5")
                            .arg(b)
                            .arg(ib)
                            .arg(cb)
                            .arg(starts[b * dsst].first)
                            .arg(starts[b * dsst].second));
        }
    }

    void CheckWorksheet(size_t first, size_t last)
    {
        const QString sheet = QString("sheet at %1: ").arg(m_records[first].pos);
        size_t indexAt = 0;
        quint32 defColWidth = 0;
        std::vector<quint32> dbCells;
        std::array<quint32, 4> dims{};
        bool haveDims = false;
        std::map<int, std::pair<int, int>> rows; // row -> colMic, colMac
        std::map<int, quint32> rowPos;
        long long lastKey = -1;
        int minRow = 65536, maxRow = -1, minCol = 256, maxCol = -1;
        size_t tableFirst = 0, tableLast = 0;
        int depth = 0;
        // Per block: first ROW position and the first-cell position of each row.
        struct Block
        {
            quint32 firstRowPos = 0;
            std::vector<int> rows;
            std::map<int, quint32> cellStart;
        } block;
        auto cellAt = [&](int row, int col, quint16 xf, quint32 pos)
        {
            const long long key = (long long)row * 256 + col;
            if (key <= lastKey)
                Problem(sheet + QString("cell (%1,%2) out of order or repeated").arg(row).arg(col));
            lastKey = key;
            if (col > 255)
                Problem(sheet + QString("column %1").arg(col));
            if (xf >= m_xfCount)
                Problem(sheet +
                        QString("cell (%1,%2) has XF %3 of %4").arg(row).arg(col).arg(xf).arg(m_xfCount));
            minRow = std::min(minRow, row);
            maxRow = std::max(maxRow, row);
            minCol = std::min(minCol, col);
            maxCol = std::max(maxCol, col);
            const auto r = rows.find(row);
            if (r == rows.end())
                Problem(sheet + QString("row %1 has cells but no ROW before them").arg(row));
            else if (col < r->second.first || col >= r->second.second)
                Problem(sheet + QString("ROW %1 does not cover column %2").arg(row).arg(col));
            if (!block.cellStart.count(row))
                block.cellStart[row] = pos;
        };
        for (size_t i = first; i <= last; ++i)
        {
            const Record& r = m_records[i];
            depth += r.type == 0x0809 ? 1 : r.type == 0x000A ? -1 : 0;
            if (depth != 1 || r.type == 0x0809)
                continue;
            const bool cell = IsCellType(r.type);
            if (cell || r.type == 0x0208 || r.type == 0x00D7)
            {
                if (tableFirst == 0)
                    tableFirst = i;
                tableLast = i;
            }
            switch (r.type)
            {
            case 0x020B:
                if (indexAt != 0)
                    Problem(sheet + "two INDEX records");
                indexAt = i;
                break;
            case 0x0055:
                defColWidth = r.pos;
                break;
            case 0x0200:
                if (haveDims)
                    Problem(sheet + "two DIMENSIONS records");
                haveDims = true;
                dims = {U32(r.data), U32(r.data + 4), U16(r.data + 8), U16(r.data + 10)};
                break;
            case 0x0208:
            {
                const int row = U16(r.data);
                if (rows.count(row))
                    Problem(sheet + QString("two ROW records for row %1").arg(row));
                if ((U16(r.data + 12) & 0x0100) == 0)
                    Problem(sheet + QString("ROW %1 lacks the always-set bit").arg(row));
                rows[row] = {U16(r.data + 2), U16(r.data + 4)};
                rowPos[row] = r.pos;
                if (block.rows.empty())
                    block.firstRowPos = r.pos;
                else if (row - block.rows.front() >= 32)
                    Problem(sheet +
                            QString("block from row %1 holds row %2").arg(block.rows.front()).arg(row));
                block.rows.push_back(row);
                break;
            }
            case 0x00D7:
            {
                dbCells.push_back(r.pos);
                if (block.rows.empty())
                {
                    Problem(sheet + "DBCELL without ROW records");
                    break;
                }
                if (U32(r.data) != r.pos - block.firstRowPos)
                    Problem(sheet + QString("DBCELL at %1: dbRtrw %2").arg(r.pos).arg(U32(r.data)));
                if (r.size != 4 + 2 * block.rows.size())
                    Problem(sheet + QString("DBCELL at %1 has %2 offsets for %3 rows")
                                        .arg(r.pos)
                                        .arg((r.size - 4) / 2)
                                        .arg(block.rows.size()));
                // An empty row counts where its cells would start: where the next row's start.
                std::vector<quint32> starts(block.rows.size());
                quint32 where = r.pos;
                for (size_t k = block.rows.size(); k-- > 0;)
                {
                    const auto s = block.cellStart.find(block.rows[k]);
                    where = s != block.cellStart.end() ? s->second : where;
                    starts[k] = where;
                }
                quint32 previous = block.firstRowPos + 20;
                for (size_t k = 0; k < block.rows.size() && 4 + 2 * k + 2 <= r.size; ++k)
                {
                    if (U16(r.data + 4 + 2 * k) != quint16(starts[k] - previous))
                        Problem(sheet +
                                QString("DBCELL at %1: offset of row %2").arg(r.pos).arg(block.rows[k]));
                    previous = starts[k];
                }
                block = Block();
                break;
            }
            case 0x00BD:
            case 0x00BE:
            {
                const int width = r.type == 0x00BD ? 6 : 2;
                const int n = (r.size - 6) / width;
                const int col = U16(r.data + 2);
                if (U16(r.data + r.size - 2) != col + n - 1)
                    Problem(sheet + "MULRK/MULBLANK colLast wrong");
                for (int k = 0; k < n; ++k)
                    cellAt(U16(r.data), col + k, U16(r.data + 4 + k * width), r.pos);
                break;
            }
            default:
                if (cell)
                {
                    cellAt(U16(r.data), U16(r.data + 2), U16(r.data + 4), r.pos);
                    if (r.type == 0x00FD)
                    {
                        ++m_labelSst;
                        if (U32(r.data + 6) >= m_sstUnique)
                            Problem(sheet +
                                    QString("LABELSST index %1 of %2").arg(U32(r.data + 6)).arg(m_sstUnique));
                    }
                }
                break;
            }
        }
        for (size_t i = tableFirst; tableFirst != 0 && i <= tableLast; ++i)
        {
            const quint16 t = m_records[i].type;
            // ROW, DBCELL, cells and what may follow a FORMULA: SHRFMLA, ARRAY, TABLE, STRING, CONTINUE.
            const bool allowed = IsCellType(t) || t == 0x0208 || t == 0x00D7 || t == 0x04BC || t == 0x0221 ||
                                 t == 0x0236 || t == 0x0207 || t == 0x003C;
            if (!allowed)
                Problem(sheet + QString("record 0x%1 inside the cell table").arg(t, 0, 16));
        }
        if (!rows.empty() && (tableLast == 0 || m_records[tableLast].type != 0x00D7))
            Problem(sheet + "cell table does not end with a DBCELL");
        if (!haveDims)
            Problem(sheet + "no DIMENSIONS");
        else if (maxRow >= 0 && (dims[0] > quint32(minRow) || dims[1] <= quint32(maxRow) ||
                                 dims[2] > quint32(minCol) || dims[3] <= quint32(maxCol)))
            Problem(sheet + QString("DIMENSIONS %1-%2 x %3-%4 miss cells %5-%6 x %7-%8")
                                .arg(dims[0])
                                .arg(dims[1])
                                .arg(dims[2])
                                .arg(dims[3])
                                .arg(minRow)
                                .arg(maxRow)
                                .arg(minCol)
                                .arg(maxCol));
        if (indexAt == 0)
            return Problem(sheet + "no INDEX");
        const Record& index = m_records[indexAt];
        const quint32 rwMic = rows.empty() ? 0 : rows.begin()->first;
        const quint32 rwMac = rows.empty() ? 0 : rows.rbegin()->first + 1;
        if (U32(index.data + 4) != rwMic || U32(index.data + 8) != rwMac)
            Problem(sheet + "INDEX row range wrong");
        if (U32(index.data + 12) != defColWidth)
            Problem(sheet + "INDEX does not point at DEFCOLWIDTH");
        if (index.size != 16 + 4 * dbCells.size())
            return Problem(sheet +
                           QString("INDEX has %1 bytes for %2 DBCELLs").arg(index.size).arg(dbCells.size()));
        for (size_t k = 0; k < dbCells.size(); ++k)
            if (U32(index.data + 16 + 4 * k) != dbCells[k])
                Problem(sheet + QString("INDEX entry %1 does not point at its DBCELL").arg(k));
    }

    const QByteArray& m_stream;
    std::vector<Record> m_records;
    std::map<quint32, size_t> m_byPos;
    QStringList m_problems;
    quint32 m_xfCount = 0;
    quint32 m_sstTotal = 0;
    quint32 m_sstUnique = 0;
    quint32 m_labelSst = 0;
};
} // namespace

QStringList VerifyWorkbookStream(const QByteArray& stream)
{
    return Verifier(stream).Run();
}

QStringList VerifyWorkbookStructure(const QString& path)
{
    const QByteArray stream = ReadWorkbookStream(path);
    if (stream.isEmpty())
        return {"no Workbook stream in " + path};
    return VerifyWorkbookStream(stream);
}
