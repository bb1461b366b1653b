#include "xls/CellValue.h"

#include "xls/BiffRecord.h"
#include "xls/ContinuedReader.h"

#include <QLocale>
#include <cmath>

namespace
{
QString ErrorText(quint8 code)
{
    switch (code)
    {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    default:
        return "#N/A";
    }
}

// A string of a LABEL, RSTRING or STRING record (and its CONTINUE records): u16 length, flags,
// characters.
QString UnicodeString(const QByteArray& raw, const std::vector<BiffRecord>& records, size_t index, int skip)
{
    ContinuedReader reader(raw, records, index);
    quint16 length = 0;
    quint8 flags = 0;
    QString text;
    if (!reader.ReadBytes(nullptr, skip) || !reader.ReadU16(length) || !reader.ReadU8(flags) ||
        !reader.ReadChars(text, length, (flags & 0x01) != 0))
        return QString();
    return text;
}
} // namespace

QString FormatCellNumber(double value)
{
    if (value == 0 || std::isnan(value) || std::isinf(value))
        return value == 0 ? QStringLiteral("0") : QString::number(value);
    const double magnitude = std::fabs(value);
    const char form = magnitude >= 1e-6 && magnitude < 1e21 ? 'f' : 'g';
    return QString::number(value, form, QLocale::FloatingPointShortest);
}

double DecodeRk(quint32 rk)
{
    double value;
    if ((rk & 0x02) != 0)
        value = double(qint32(rk) >> 2);
    else
    {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) != 0 ? value / 100 : value;
}

QString RawCellText(const QByteArray& raw)
{
    std::vector<BiffRecord> records;
    if (!SplitRecords(raw, records) || records.empty())
        return QString();
    const BiffRecord& first = records.front();
    const char* data = first.Data(raw);
    switch (first.type)
    {
    case Biff::kLabel:
    case Biff::kRString:
        return first.size >= 9 ? UnicodeString(raw, records, 0, 6) : QString();
    case Biff::kBoolErr:
        if (first.size < 8)
            return QString();
        if (data[7] != 0)
            return ErrorText(quint8(data[6]));
        return data[6] != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Biff::kFormula:
    {
        if (first.size < 14)
            return QString();
        const char* value = data + 6;
        if (Biff::U16(value + 6) != 0xFFFF)
            return FormatCellNumber(Biff::F64(value));
        switch (quint8(value[0]))
        {
        case 0:
            for (size_t i = 1; i < records.size(); ++i)
                if (records[i].type == Biff::kString)
                    return UnicodeString(raw, records, i, 0);
            return QString();
        case 1:
            return value[2] != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        case 2:
            return ErrorText(quint8(value[2]));
        default:
            return QString();
        }
    }
    default:
        return QString();
    }
}
