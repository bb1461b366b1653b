#include "services/FieldCopy.h"
#include "services/CorvaneError.h"
#include "services/Dictionary.h"
#include "services/Record.h"
#include "services/XmlAccess.h"
#include "support/CaseName.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <gtest/gtest.h>

namespace
{
struct CopyCase
{
    const char* name;
    const char* xml;    // the Class element's content, or nullptr for no element
    bool coded;         // CopyCodedField against dic_corp_class
    bool withDefault;   // default 0
    const char* stored; // text of the stored value, "NULL" for NULL
    friend void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }
};

class CopyRules : public ::testing::TestWithParam<CopyCase>
{
};

} // namespace

TEST_P(CopyRules, StoreWhatTheRuleSays)
{
    const CopyCase& c = GetParam();
    TempDatabase temp;
    auto db = temp.Open();
    RecordingSink sink;
    const Dictionary classes = LoadDictionary(*db, QStringLiteral("dic_corp_class"), QStringLiteral("class"),
                                              QStringLiteral("classname"), sink);
    XmlDocument doc;
    const QByteArray body = c.xml ? QByteArray("<Class>") + c.xml + "</Class>" : QByteArray();
    ASSERT_TRUE(doc.ParseText("<CorpInfo><Basic>" + body + "</Basic></CorpInfo>"));

    Record record = Record::FindOrAdd(*db, QStringLiteral("dat_corp_info"), QStringLiteral("corpid"),
                                      QStringLiteral("U"));
    const QString xpath = QStringLiteral("//CorpInfo/Basic/Class");
    const std::optional<QVariant> def = c.withDefault ? std::optional<QVariant>(0) : std::nullopt;
    if (c.coded)
        CopyCodedField(doc.Root(), xpath, record, QStringLiteral("class"), classes, def);
    else
        CopyField(doc.Root(), xpath, record, QStringLiteral("class"), def);
    record.Update();
    const QVariant stored = temp.Scalar(QStringLiteral("select class from dat_corp_info"));
    EXPECT_EQ(stored.isNull() ? QStringLiteral("NULL") : stored.toString(), QString::fromUtf8(c.stored));
}

INSTANTIATE_TEST_SUITE_P(FieldCopy, CopyRules,
                         ::testing::Values(CopyCase{"PlainValue", " 12 ", false, false, "12"},
                                           CopyCase{"MissingNoDefault", nullptr, false, false, "NULL"},
                                           CopyCase{"MissingWithDefault", nullptr, false, true, "0"},
                                           CopyCase{"SpacesAreMissing", "   ", false, true, "0"},
                                           CopyCase{"CodeKnown", "20", true, false, "20"},
                                           CopyCase{"CodeUnknownNoDefault", "99", true, false, "99"},
                                           CopyCase{"CodeUnknownWithDefault", "99", true, true, "0"},
                                           CopyCase{"CodeEmptyIgnoresDefault", "", true, true, "NULL"}),
                         CaseName<CopyCase>);

TEST(FieldCopy, CodedCopyAgainstEmptyDictionaryFailsAndKeepsTheColumn)
{
    TempDatabase temp;
    auto db = temp.Open();
    RecordingSink sink;
    Dictionary empty;
    empty.table = QStringLiteral("dic_corp_class");
    XmlDocument doc;
    ASSERT_TRUE(doc.ParseText("<CorpInfo><Basic><Class>11</Class></Basic></CorpInfo>"));
    Record record = Record::FindOrAdd(*db, QStringLiteral("dat_corp_info"), QStringLiteral("corpid"),
                                      QStringLiteral("U"));
    record.SetText(QStringLiteral("class"), QStringLiteral("12"));
    EXPECT_THROW(CopyCodedField(doc.Root(), QStringLiteral("//CorpInfo/Basic/Class"), record,
                                QStringLiteral("class"), empty),
                 CorvaneError);
    EXPECT_EQ(record.Value(QStringLiteral("class")).toInt(), 12);
}
