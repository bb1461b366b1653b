#include "xls/BiffRecord.h"

bool SplitRecords(const QByteArray& stream, std::vector<BiffRecord>& records)
{
    records.clear();
    const quint32 size = quint32(stream.size());
    quint32 pos = 0;
    while (pos + 4 <= size)
    {
        BiffRecord record;
        record.type = Biff::U16(stream.constData() + pos);
        record.size = Biff::U16(stream.constData() + pos + 2);
        record.offset = pos;
        if (record.End() > size)
            return false;
        records.push_back(record);
        pos = record.End();
    }
    return true;
}
