#include "xls/XlsWorkbook.h"

#include "services/CorvaneError.h"
#include "xls/BiffRecord.h"
#include "xls/CheckWorkbookStream.h"
#include "xls/CompoundFile.h"
#include "xls/SharedStrings.h"
#include "xls/XfTable.h"
#include "xls/XlsWorksheet.h"

namespace
{
constexpr size_t kNone = size_t(-1);
constexpr quint16 kGlobalsBof = 0x0005;

// A substream after the globals: a sheet from its BOF to its EOF, or a stray record.
struct Substream
{
    size_t first = 0;
    size_t last = 0;
    quint16 bofType = 0; // 0 for a stray record
};

struct Sheet
{
    QString name;
    size_t boundSheet = 0; // record index of its BOUNDSHEET
    size_t substream = kNone;
    std::unique_ptr<XlsWorksheet> worksheet; // only for worksheets
};

QString BoundSheetName(const char* data, int size)
{
    if (size < 8)
        return QString();
    const int length = quint8(data[6]);
    const bool wide = (data[7] & 0x01) != 0;
    QString name;
    for (int k = 0; k < length && 8 + (k + 1) * (wide ? 2 : 1) <= size; ++k)
        name += wide ? QChar(Biff::U16(data + 8 + 2 * k)) : QChar(uchar(data[8 + k]));
    return name;
}
} // namespace

struct XlsWorkbook::Content
{
    QString path;
    std::unique_ptr<CompoundFile> file;
    QByteArray stream;
    std::vector<BiffRecord> records;
    size_t globalsEof = 0;
    size_t sst = kNone;
    size_t recalcId = kNone;
    size_t lastBoundSheet = 0;
    SharedStrings strings;
    XfTable xfs;
    std::vector<Substream> substreams;
    std::vector<Sheet> sheets;

    void Parse();
    void SaveGlobals(QByteArray& out, std::vector<qsizetype>& boundSheetPos, quint32 totalRefs) const;
    void CopySubstream(QByteArray& out, const Substream& substream) const;
    quint32 CountLabelSst() const;
};

void XlsWorkbook::Content::Parse()
{
    const QString invalid = "不是有效的 Excel 97-2003 工作簿:" + path;
    if (!SplitRecords(stream, records) || records.empty())
        throw CorvaneError(invalid);
    const BiffRecord& bof = records.front();
    const quint16 firstType = bof.type;
    if (firstType == 0x0009 || firstType == 0x0209 || firstType == 0x0409 ||
        (firstType == Biff::kBof && bof.size >= 4 && Biff::U16(bof.Data(stream)) != Biff::kBiff8Version))
        throw CorvaneError("不支持 Excel 5.0/95 工作簿，请另存为 Excel 97-2003 格式:" + path);
    if (firstType != Biff::kBof || bof.size < 4 || Biff::U16(bof.Data(stream) + 2) != kGlobalsBof)
        throw CorvaneError(invalid);

    size_t i = 1;
    for (; i < records.size() && records[i].type != Biff::kEof; ++i)
    {
        const BiffRecord& record = records[i];
        const char* data = record.Data(stream);
        switch (record.type)
        {
        case Biff::kFilePass:
            throw CorvaneError("工作簿已加密，不能写入:" + path);
        case Biff::kBoundSheet:
            if (record.size < 8)
                throw CorvaneError(invalid);
            sheets.push_back({BoundSheetName(data, record.size), i, kNone, nullptr});
            lastBoundSheet = i;
            break;
        case Biff::kXf:
            xfs.isStyle.push_back(record.size >= 6 && (Biff::U16(data + 4) & 0x0004) != 0);
            break;
        case Biff::kSst:
            sst = i;
            break;
        case Biff::kRecalcId:
            recalcId = i;
            break;
        default:
            break;
        }
    }
    if (i >= records.size())
        throw CorvaneError(invalid);
    globalsEof = i;
    if (sst != kNone && !strings.Parse(stream, records, sst))
        throw CorvaneError(invalid);
    // Half a character outside the basic plane is damage; strict readers refuse the whole file.
    for (quint32 k = 0; k < strings.Count(); ++k)
        if (!QStringView(strings.Text(k)).isValidUtf16())
            throw CorvaneError("工作簿已损坏:" + path + "（共享字符串 " + QString::number(k) +
                               " 含有不成对的 UTF-16 代理）");

    for (i = globalsEof + 1; i < records.size(); ++i)
    {
        if (records[i].type != Biff::kBof)
        {
            // Zero bytes that some writers pad the stream with are dropped; other stray records stay.
            if (records[i].type != 0 || records[i].size != 0)
                substreams.push_back({i, i, 0});
            continue;
        }
        Substream substream{i, i, records[i].size >= 4 ? Biff::U16(records[i].Data(stream) + 2) : quint16(0)};
        int depth = 0;
        for (; i < records.size(); ++i)
        {
            depth += records[i].type == Biff::kBof ? 1 : records[i].type == Biff::kEof ? -1 : 0;
            if (depth == 0)
                break;
        }
        if (i >= records.size())
            throw CorvaneError(invalid);
        substream.last = i;
        substreams.push_back(substream);
    }

    for (Sheet& sheet : sheets)
    {
        const char* data = records[sheet.boundSheet].Data(stream);
        const quint32 position = Biff::U32(data);
        for (size_t k = 0; k < substreams.size(); ++k)
            if (substreams[k].bofType != 0 && records[substreams[k].first].offset == position)
                sheet.substream = k;
        const bool isWorksheet = data[5] == 0;
        if (sheet.substream == kNone)
        {
            if (isWorksheet)
                throw CorvaneError(invalid);
            continue;
        }
        const Substream& substream = substreams[sheet.substream];
        if (!isWorksheet || substream.bofType != Biff::kWorksheetBof)
            continue;
        sheet.worksheet = std::make_unique<XlsWorksheet>(sheet.name, stream, records, substream.first,
                                                         substream.last, strings, xfs);
        QString problem;
        if (!sheet.worksheet->Parse(problem))
            throw CorvaneError(invalid + "（" + sheet.name + ": " + problem + "）");
    }
}

quint32 XlsWorkbook::Content::CountLabelSst() const
{
    quint32 count = 0;
    std::vector<bool> counted(substreams.size(), false);
    for (const Sheet& sheet : sheets)
        if (sheet.worksheet)
        {
            count += sheet.worksheet->LabelSstCount();
            counted[sheet.substream] = true;
        }
    for (size_t k = 0; k < substreams.size(); ++k)
        if (!counted[k])
            for (size_t i = substreams[k].first; i <= substreams[k].last; ++i)
                count += records[i].type == Biff::kLabelSst ? 1 : 0;
    return count;
}

void XlsWorkbook::Content::SaveGlobals(QByteArray& out, std::vector<qsizetype>& boundSheetPos,
                                       quint32 totalRefs) const
{
    const bool needSst = sst != kNone || strings.Count() > 0;
    bool sstDone = false;
    bool recalcDone = recalcId != kNone;
    for (size_t i = 0; i <= globalsEof; ++i)
    {
        const BiffRecord& record = records[i];
        const bool afterSheets = i > lastBoundSheet;
        const bool insertSst = needSst && sst == kNone && !sstDone && afterSheets &&
                               ((record.type & 0xFF00) == 0x0800 || record.type == Biff::kEof);
        if (!recalcDone && afterSheets &&
            (insertSst || record.type == Biff::kMsoDrawingGroup || record.type == Biff::kSst ||
             record.type == Biff::kExtSst || record.type == Biff::kEof))
        {
            // A calculation id older than any Excel makes Excel recalculate every formula on load.
            const char recalc[8] = {char(0xC1), 0x01, 0, 0, 0, 0, 0, 0};
            Biff::AppendRecord(out, Biff::kRecalcId, recalc, 8);
            recalcDone = true;
        }
        if (insertSst)
        {
            strings.Save(out, totalRefs);
            sstDone = true;
        }
        if (i == sst)
        {
            strings.Save(out, totalRefs);
            sstDone = true;
            while (i + 1 < globalsEof && records[i + 1].type == Biff::kContinue)
                ++i;
            continue;
        }
        if (record.type == Biff::kExtSst)
            continue; // written with the SST
        if (record.type == Biff::kBoundSheet)
            boundSheetPos.push_back(out.size());
        const qsizetype start = out.size();
        out.append(stream.constData() + record.offset, record.size + 4);
        if (record.type == Biff::kRecalcId && record.size >= 8)
            Biff::PutU32(out.data() + start + 8, 0);
    }
}

void XlsWorkbook::Content::CopySubstream(QByteArray& out, const Substream& substream) const
{
    const qsizetype start = out.size();
    const quint32 begin = records[substream.first].offset;
    out.append(stream.constData() + begin, records[substream.last].End() - begin);
    // Absolute positions in a macro sheet's INDEX move with the substream.
    const qint64 shift = start - qint64(begin);
    int depth = 0;
    for (size_t i = substream.first; i <= substream.last; ++i)
    {
        const BiffRecord& record = records[i];
        depth += record.type == Biff::kBof ? 1 : record.type == Biff::kEof ? -1 : 0;
        if (depth != 1 || record.type != Biff::kIndex || record.size < 16)
            continue;
        char* data = out.data() + start + (record.offset - begin) + 4;
        if (Biff::U32(data + 12) != 0)
            Biff::PutU32(data + 12, quint32(Biff::U32(data + 12) + shift));
        for (int k = 16; k + 4 <= record.size; k += 4)
            Biff::PutU32(data + k, quint32(Biff::U32(data + k) + shift));
    }
}

XlsWorkbook::XlsWorkbook() = default;
XlsWorkbook::~XlsWorkbook() = default;

XlsWorkbook::Content& XlsWorkbook::Open() const
{
    if (!m_content)
        throw CorvaneError("没有打开的工作簿");
    return *m_content;
}

void XlsWorkbook::OpenWorkbook(const QString& path)
{
    CloseWorkbook();
    auto content = std::make_unique<Content>();
    content->path = path;
    content->file = std::make_unique<CompoundFile>(path);
    content->stream = content->file->WorkbookStream();
    content->Parse();
    m_content = std::move(content);
}

SheetCollection& XlsWorkbook::Sheets()
{
    Open();
    return *this;
}

int XlsWorkbook::Count() const
{
    return int(Open().sheets.size());
}

Worksheet& XlsWorkbook::SheetAt(int index)
{
    Content& content = Open();
    if (index < 0 || size_t(index) >= content.sheets.size())
        throw CorvaneError("工作表序号超出范围:" + QString::number(index));
    Sheet& sheet = content.sheets[size_t(index)];
    if (!sheet.worksheet)
        throw CorvaneError("不是可以写入单元格的工作表:" + sheet.name);
    return *sheet.worksheet;
}

void XlsWorkbook::SaveWorkbook(const QString& path)
{
    const Content& content = Open();
    // The stream is built in one allocation: growing a large buffer copies it each time.
    qsizetype bound = content.stream.size() + content.strings.SavedSizeBound();
    for (const Sheet& sheet : content.sheets)
        if (sheet.worksheet)
            bound += sheet.worksheet->SavedSizeBound();
    QByteArray out;
    out.reserve(bound);
    std::vector<qsizetype> boundSheetPos;
    content.SaveGlobals(out, boundSheetPos, content.CountLabelSst());

    std::vector<qsizetype> substreamPos;
    std::vector<const XlsWorksheet*> worksheets(content.substreams.size(), nullptr);
    for (const Sheet& sheet : content.sheets)
        if (sheet.worksheet)
            worksheets[sheet.substream] = sheet.worksheet.get();
    for (size_t k = 0; k < content.substreams.size(); ++k)
    {
        substreamPos.push_back(out.size());
        if (worksheets[k] != nullptr)
            worksheets[k]->Save(out);
        else
            content.CopySubstream(out, content.substreams[k]);
    }
    for (size_t s = 0; s < content.sheets.size(); ++s)
        if (content.sheets[s].substream != kNone)
            Biff::PutU32(out.data() + boundSheetPos[s] + 4,
                         quint32(substreamPos[content.sheets[s].substream]));
    // A damaged template can point a reader at records that are not there; the earlier file
    // stays rather than be replaced by one other programs cannot open.
    const QString fault = CheckWorkbookStream(out);
    if (!fault.isEmpty())
        throw CorvaneError("工作簿已损坏:" + content.path + "（" + fault + "）");
    content.file->Save(path, out);
}

void XlsWorkbook::CloseWorkbook()
{
    m_content.reset();
}
