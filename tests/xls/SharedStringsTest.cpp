#include "xls/SharedStrings.h"

#include "BiffVerifier.h"
#include "XlsTestFiles.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace
{
// A globals substream around an SST (with its CONTINUEs and EXTSST), for the verifier.
QByteArray GlobalsAround(const QByteArray& sst)
{
    QByteArray stream;
    char bof[16] = {0x00, 0x06, 0x05, 0x00};
    Biff::AppendRecord(stream, Biff::kBof, bof, 16);
    const char recalc[8] = {char(0xC1), 0x01};
    Biff::AppendRecord(stream, Biff::kRecalcId, recalc, 8);
    stream += sst;
    Biff::AppendRecord(stream, Biff::kEof, nullptr, 0);
    return stream;
}

QByteArray SaveAfterGlobalsStart(const SharedStrings& strings, quint32 refs)
{
    // The SST starts after BOF (20 bytes) and RECALCID (12 bytes), as in GlobalsAround.
    QByteArray out(32, '\0');
    strings.Save(out, refs);
    return out.mid(32);
}

// Template entries with formatting runs and phonetic data, in one oversized record as some
// writers leave them: 40 rich strings of 300 runs each, half of them in CJK.
QByteArray RichSst()
{
    QByteArray data;
    char counts[8];
    Biff::PutU32(counts, 0);
    Biff::PutU32(counts + 4, 40);
    data.append(counts, 8);
    for (int i = 0; i < 40; ++i)
    {
        const bool wide = i % 2 == 1;
        const int length = 50 + i;
        char header[9];
        Biff::PutU16(header, quint16(length));
        header[2] = char(0x08 | 0x04 | (wide ? 0x01 : 0x00));
        Biff::PutU16(header + 3, 300);
        Biff::PutU32(header + 5, quint32(10 + i));
        data.append(header, 9);
        for (int k = 0; k < length; ++k)
        {
            if (wide)
            {
                char c[2];
                Biff::PutU16(c, quint16(0x4E00 + (i * 37 + k) % 2000));
                data.append(c, 2);
            }
            else
                data.append(char('a' + (i + k) % 26));
        }
        for (int r = 0; r < 300; ++r)
        {
            char run[4];
            Biff::PutU16(run, quint16(r % length));
            Biff::PutU16(run + 2, quint16(r % 5));
            data.append(run, 4);
        }
        data.append(QByteArray(10 + i, char(i)));
    }
    QByteArray stream;
    Biff::AppendRecord(stream, Biff::kSst, data.constData(), int(data.size()));
    return stream;
}

class SharedStringsOfATemplate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<BiffRecord> records;
        ASSERT_TRUE(SplitRecords(m_input, records));
        ASSERT_TRUE(m_strings.Parse(m_input, records, 0));
        ASSERT_EQ(m_strings.Count(), 40u);
    }
    const QByteArray m_input = RichSst();
    SharedStrings m_strings;
};

TEST_F(SharedStringsOfATemplate, SplitsRichStringsIntoContinueRecordsByTheRules)
{
    EXPECT_EQ(m_strings.Text(1).size(), 51);
    EXPECT_EQ(m_strings.Text(1)[0], QChar(0x4E00 + 37));

    const QByteArray saved = SaveAfterGlobalsStart(m_strings, 0);
    EXPECT_EQ(VerifyWorkbookStream(GlobalsAround(saved)).join("\n").toStdString(), "");

    // Parsing the split table gives the same entries: saving again gives the same bytes.
    std::vector<BiffRecord> split;
    ASSERT_TRUE(SplitRecords(saved, split));
    SharedStrings again;
    ASSERT_TRUE(again.Parse(saved, split, 0));
    EXPECT_EQ(SaveAfterGlobalsStart(again, 0), saved);
}

TEST_F(SharedStringsOfATemplate, AddsEachPlainTextOnceAndKeepsTemplateIndices)
{
    const QString richText = m_strings.Text(0);
    EXPECT_EQ(m_strings.Add(richText), 40u); // a rich entry is no plain one
    EXPECT_EQ(m_strings.Add("新文本"), 41u);
    EXPECT_EQ(m_strings.Add(richText), 40u);
    EXPECT_EQ(m_strings.Add("新文本"), 41u);
    EXPECT_EQ(m_strings.Text(0), richText);
}

// The saved workbook stream is reserved from this bound in one piece: the rich entries, split
// across CONTINUE records, and many added texts of every width must fit in it.
TEST_F(SharedStringsOfATemplate, SavedSizeBoundHoldsTheTableAsSaved)
{
    QRandomGenerator random(2010);
    for (int i = 0; i < 3000; ++i)
    {
        QString text;
        const int length = 1 + int(random.bounded(300));
        for (int k = 0; k < length; ++k)
            text += random.bounded(2) == 0 ? QChar(u'a' + random.bounded(26))
                                           : QChar(0x4E00 + random.bounded(500));
        m_strings.Add(text);
    }
    const qsizetype saved = SaveAfterGlobalsStart(m_strings, 5000).size();
    EXPECT_GE(m_strings.SavedSizeBound(), saved);
    EXPECT_LE(m_strings.SavedSizeBound(), saved + saved / 8) << "a bound far above the size wastes memory";
}

// Random texts of 1 to 1000 characters, Latin-1 or CJK or both, break across records in every
// possible place; each must come back whole from a saved and reopened workbook.
class SharedStringsInAWorkbook : public WorkbookFill
{
};

TEST_F(SharedStringsInAWorkbook, ManyLongMixedTextsSurviveSaveAndReopen)
{
    QRandomGenerator random(20240601);
    QStringList texts;
    for (int i = 0; i < 12000; ++i)
    {
        const int length = 1 + int(random.bounded(1000));
        const int kind = int(random.bounded(3));
        QString text;
        text.reserve(length);
        for (int k = 0; k < length; ++k)
        {
            const bool cjk = kind == 1 || (kind == 2 && random.bounded(2) == 0);
            text += cjk ? QChar(0x4E00 + random.bounded(0x5000)) : QChar(0x20 + random.bounded(0xDF));
        }
        texts << text;
    }
    Worksheet& sheet = Open(TestDataFile("xlwt-basic.xls"), 1);
    for (int i = 0; i < texts.size(); ++i)
        sheet.WriteText(i % 4, 10 + i / 4, 0, texts[i]);
    const Worksheet& reopened = SaveAndReopen(1);
    int wrong = 0;
    for (int i = 0; i < texts.size(); ++i)
        wrong += reopened.ReadCell(i % 4, 10 + i / 4) != texts[i] ? 1 : 0;
    EXPECT_EQ(wrong, 0);
}
} // namespace
