#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstring>
#include <vector>

// Record types of the BIFF8 workbook stream that the writer reads or writes.
namespace Biff
{
constexpr quint16 kFormula = 0x0006;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kFilePass = 0x002F;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kDefColWidth = 0x0055;
constexpr quint16 kUncalced = 0x005E;
constexpr quint16 kColInfo = 0x007D;
constexpr quint16 kBoundSheet = 0x0085;
constexpr quint16 kMulRk = 0x00BD;
constexpr quint16 kMulBlank = 0x00BE;
constexpr quint16 kRString = 0x00D6;
constexpr quint16 kDbCell = 0x00D7;
constexpr quint16 kXf = 0x00E0;
constexpr quint16 kMsoDrawingGroup = 0x00EB;
constexpr quint16 kSst = 0x00FC;
constexpr quint16 kLabelSst = 0x00FD;
constexpr quint16 kExtSst = 0x00FF;
constexpr quint16 kRecalcId = 0x01C1;
constexpr quint16 kDimensions = 0x0200;
constexpr quint16 kBlank = 0x0201;
constexpr quint16 kNumber = 0x0203;
constexpr quint16 kLabel = 0x0204;
constexpr quint16 kBoolErr = 0x0205;
constexpr quint16 kString = 0x0207;
constexpr quint16 kRow = 0x0208;
constexpr quint16 kIndex = 0x020B;
constexpr quint16 kArray = 0x0221;
constexpr quint16 kDefaultRowHeight = 0x0225;
constexpr quint16 kTable = 0x0236;
constexpr quint16 kWindow2 = 0x023E;
constexpr quint16 kRk = 0x027E;
constexpr quint16 kShrFmla = 0x04BC;
constexpr quint16 kBof = 0x0809;

constexpr int kMaxRecordData = 8224;
constexpr quint16 kBiff8Version = 0x0600;
constexpr quint16 kWorksheetBof = 0x0010;
constexpr int kMaxRow = 65535;
constexpr int kMaxCol = 255;
constexpr int kMaxTextLength = 32767;

inline quint16 U16(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint16(b[0] | (b[1] << 8));
}
inline quint32 U32(const char* p)
{
    return quint32(U16(p)) | (quint32(U16(p + 2)) << 16);
}
inline double F64(const char* p)
{
    quint64 bits = quint64(U32(p)) | (quint64(U32(p + 4)) << 32);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
inline void PutU16(char* p, quint16 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
inline void PutU32(char* p, quint32 v)
{
    PutU16(p, quint16(v & 0xFFFF));
    PutU16(p + 2, quint16(v >> 16));
}
inline void PutF64(char* p, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutU32(p, quint32(bits));
    PutU32(p + 4, quint32(bits >> 32));
}

// Appends one record (header and data) to out.
inline void AppendRecord(QByteArray& out, quint16 type, const char* data, int size)
{
    char header[4];
    PutU16(header, type);
    PutU16(header + 2, quint16(size));
    out.append(header, 4);
    out.append(data, size);
}
} // namespace Biff

// One record of a workbook stream, located in the stream's bytes.
struct BiffRecord
{
    quint16 type = 0;
    quint16 size = 0;
    quint32 offset = 0; // of the 4-byte header in the stream

    const char* Data(const QByteArray& stream) const { return stream.constData() + offset + 4; }
    quint32 End() const { return offset + 4 + size; }
};

// Splits a workbook stream into its records. Returns false when the last record runs past the
// end of the stream. Bytes after the last record that are too few for a header are ignored.
bool SplitRecords(const QByteArray& stream, std::vector<BiffRecord>& records);
