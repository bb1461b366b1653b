#pragma once

#include "xls/BiffRecord.h"

#include <QString>
#include <algorithm>
#include <vector>

// Reads the data of a record and of the CONTINUE records after it as one sequence, with the one
// irregularity of the format: when the characters of a string go on in the next record, that
// record begins with a flags byte telling their width.
class ContinuedReader
{
public:
    ContinuedReader(const QByteArray& stream, const std::vector<BiffRecord>& records, size_t index)
    {
        m_segments.push_back({records[index].Data(stream), records[index].size});
        for (size_t i = index + 1; i < records.size() && records[i].type == Biff::kContinue; ++i)
            m_segments.push_back({records[i].Data(stream), records[i].size});
    }

    bool ReadBytes(char* target, int count)
    {
        while (count > 0)
        {
            if (!NextSegmentIfDone())
                return false;
            const int n = std::min(count, Left());
            if (target != nullptr)
            {
                std::copy_n(m_segments[m_segment].data + m_pos, n, target);
                target += n;
            }
            m_pos += n;
            count -= n;
        }
        return true;
    }
    bool ReadU8(quint8& value)
    {
        char c;
        if (!ReadBytes(&c, 1))
            return false;
        value = quint8(c);
        return true;
    }
    bool ReadU16(quint16& value)
    {
        char b[2];
        if (!ReadBytes(b, 2))
            return false;
        value = Biff::U16(b);
        return true;
    }
    bool ReadU32(quint32& value)
    {
        char b[4];
        if (!ReadBytes(b, 4))
            return false;
        value = Biff::U32(b);
        return true;
    }

    bool ReadChars(QString& text, int count, bool highByte)
    {
        text.resize(count);
        QChar* target = text.data();
        while (count > 0)
        {
            if (Left() == 0)
            {
                if (!NextSegmentIfDone())
                    return false;
                quint8 flags;
                if (!ReadU8(flags))
                    return false;
                highByte = (flags & 0x01) != 0;
            }
            const char* p = m_segments[m_segment].data + m_pos;
            const int width = highByte ? 2 : 1;
            const int n = std::min(count, Left() / width);
            if (n == 0)
                return false; // half a character before the record's end
            for (int i = 0; i < n; ++i)
                *target++ = highByte ? QChar(Biff::U16(p + 2 * i)) : QChar(uchar(p[i]));
            m_pos += n * width;
            count -= n;
        }
        return true;
    }

private:
    struct Segment
    {
        const char* data;
        int size;
    };
    int Left() const { return m_segments[m_segment].size - m_pos; }
    bool NextSegmentIfDone()
    {
        while (Left() == 0)
        {
            if (m_segment + 1 >= m_segments.size())
                return false;
            ++m_segment;
            m_pos = 0;
        }
        return true;
    }

    std::vector<Segment> m_segments;
    size_t m_segment = 0;
    int m_pos = 0;
};
