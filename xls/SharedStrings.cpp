#include "xls/SharedStrings.h"

#include "xls/ContinuedReader.h"

#include <algorithm>

namespace
{
// Writes one record and as many CONTINUE records as its data needs, never more than the record
// limit in one of them.
class ContinuedWriter
{
public:
    ContinuedWriter(QByteArray& out, quint16 type) : m_out(out) { Open(type); }
    ~ContinuedWriter() { Close(); }

    int Space() const { return Biff::kMaxRecordData - Used(); }
    qsizetype Position() const { return m_out.size(); }
    qsizetype RecordStart() const { return m_header; }
    void StartContinue()
    {
        Close();
        Open(Biff::kContinue);
    }
    void Append(const char* data, int size) { m_out.append(data, size); }
    void AppendSplitAnywhere(const QByteArray& bytes)
    {
        int done = 0;
        while (done < bytes.size())
        {
            if (Space() == 0)
                StartContinue();
            const int n = std::min(int(bytes.size()) - done, Space());
            Append(bytes.constData() + done, n);
            done += n;
        }
    }

private:
    int Used() const { return int(m_out.size() - m_header - 4); }
    void Open(quint16 type)
    {
        m_header = m_out.size();
        char header[4] = {};
        Biff::PutU16(header, type);
        m_out.append(header, 4);
    }
    void Close() { Biff::PutU16(m_out.data() + m_header + 2, quint16(Used())); }

    QByteArray& m_out;
    qsizetype m_header = 0;
};

bool FitsInLatin1(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}
} // namespace

bool SharedStrings::Parse(const QByteArray& stream, const std::vector<BiffRecord>& records, size_t index)
{
    m_entries.clear();
    m_plain.clear();
    ContinuedReader reader(stream, records, index);
    quint32 total = 0;
    quint32 unique = 0;
    if (!reader.ReadU32(total) || !reader.ReadU32(unique))
        return false;
    m_entries.reserve(std::min<quint32>(unique, 1u << 20));
    for (quint32 i = 0; i < unique; ++i)
    {
        quint16 length = 0;
        quint8 flags = 0;
        quint16 runCount = 0;
        quint32 extSize = 0;
        if (!reader.ReadU16(length) || !reader.ReadU8(flags))
            return false;
        if ((flags & 0x08) != 0 && !reader.ReadU16(runCount))
            return false;
        if ((flags & 0x04) != 0 && !reader.ReadU32(extSize))
            return false;
        Entry entry;
        if (!reader.ReadChars(entry.text, length, (flags & 0x01) != 0))
            return false;
        entry.runs.resize(4 * runCount);
        if (extSize > quint32(stream.size()))
            return false;
        entry.extRst.resize(qsizetype(extSize));
        if (!reader.ReadBytes(entry.runs.data(), int(entry.runs.size())) ||
            !reader.ReadBytes(entry.extRst.data(), int(entry.extRst.size())))
            return false;
        if (entry.runs.isEmpty() && entry.extRst.isEmpty() && !m_plain.contains(entry.text))
            m_plain.insert(entry.text, i);
        m_entries.push_back(std::move(entry));
    }
    return true;
}

quint32 SharedStrings::Add(const QString& text)
{
    const auto found = m_plain.constFind(text);
    if (found != m_plain.constEnd())
        return found.value();
    const quint32 index = quint32(m_entries.size());
    m_entries.push_back({text, {}, {}});
    m_plain.insert(text, index);
    return index;
}

void SharedStrings::Save(QByteArray& out, quint32 totalRefs) const
{
    const quint32 unique = quint32(m_entries.size());
    // One EXTSST bucket per dsst strings, at most 128 buckets.
    const quint32 bucketSize = std::max<quint32>(unique / 128 + 1, 8);
    QByteArray extSst(2, '\0');
    Biff::PutU16(extSst.data(), quint16(bucketSize));
    {
        ContinuedWriter writer(out, Biff::kSst);
        char counts[8];
        Biff::PutU32(counts, totalRefs);
        Biff::PutU32(counts + 4, unique);
        writer.Append(counts, 8);
        QByteArray chars;
        for (quint32 i = 0; i < unique; ++i)
        {
            const Entry& entry = m_entries[i];
            const bool wide = !FitsInLatin1(entry.text);
            const int width = wide ? 2 : 1;
            const int length = int(entry.text.size());
            char header[9];
            int headerSize = 3;
            quint8 flags = wide ? 0x01 : 0x00;
            if (!entry.runs.isEmpty())
            {
                flags |= 0x08;
                Biff::PutU16(header + headerSize, quint16(entry.runs.size() / 4));
                headerSize += 2;
            }
            if (!entry.extRst.isEmpty())
            {
                flags |= 0x04;
                Biff::PutU32(header + headerSize, quint32(entry.extRst.size()));
                headerSize += 4;
            }
            Biff::PutU16(header, quint16(length));
            header[2] = char(flags);
            // The header and the first character stay together in one record.
            if (writer.Space() < headerSize + (length > 0 ? width : 0))
                writer.StartContinue();
            if (i % bucketSize == 0)
            {
                char info[8] = {};
                Biff::PutU32(info, quint32(writer.Position()));
                Biff::PutU16(info + 4, quint16(writer.Position() - writer.RecordStart()));
                extSst.append(info, 8);
            }
            writer.Append(header, headerSize);

            chars.resize(qsizetype(length) * width);
            char* p = chars.data();
            for (QChar c : entry.text)
            {
                if (wide)
                {
                    Biff::PutU16(p, c.unicode());
                    p += 2;
                }
                else
                    *p++ = char(c.unicode());
            }
            // Characters break only between characters, and the next record then opens with a
            // flags byte of its own.
            int done = 0;
            while (done < length)
            {
                if (writer.Space() < width)
                {
                    writer.StartContinue();
                    const char continuedFlags = wide ? 0x01 : 0x00;
                    writer.Append(&continuedFlags, 1);
                }
                const int n = std::min(length - done, writer.Space() / width);
                writer.Append(chars.constData() + done * width, n * width);
                done += n;
            }
            // Formatting runs break only between runs; phonetic data anywhere.
            for (qsizetype r = 0; r < entry.runs.size(); r += 4)
            {
                if (writer.Space() < 4)
                    writer.StartContinue();
                writer.Append(entry.runs.constData() + r, 4);
            }
            writer.AppendSplitAnywhere(entry.extRst);
        }
    }
    Biff::AppendRecord(out, Biff::kExtSst, extSst.constData(), int(extSst.size()));
}

qsizetype SharedStrings::SavedSizeBound() const
{
    // Per entry its header, two bytes a character, its runs and phonetic data, and a CONTINUE
    // header where it is split; then SST's counts and EXTSST with at most 128 buckets.
    constexpr qsizetype kEntryHeader = 9;
    constexpr qsizetype kContinue = 4 + 1;
    qsizetype size = 4 + 8 + 4 + 2 + 128 * 8;
    qsizetype data = 0;
    for (const Entry& entry : m_entries)
        data += kEntryHeader + 2 * entry.text.size() + entry.runs.size() + entry.extRst.size();
    return size + data + (data / (Biff::kMaxRecordData - kEntryHeader - 2) + 1) * kContinue;
}
