#include "import/ImportUnitFiles.h"

#include "import/SectionGuard.h"

#include <array>

namespace
{
auto Mappings(const UnitDictionaries& dictionaries)
{
    return std::to_array<FieldMapping>({
        {QStringLiteral("//CorpInfo/Basic/Name"), QStringLiteral("name")},
        {QStringLiteral("//CorpInfo/Basic/ShortName"), QStringLiteral("shortname")},
        {QStringLiteral("//CorpInfo/Basic/AreaCode"), QStringLiteral("areacode")},
        {QStringLiteral("//CorpInfo/Basic/Address"), QStringLiteral("address")},
        {QStringLiteral("//CorpInfo/Basic/PostCode"), QStringLiteral("postcode")},
        {QStringLiteral("//CorpInfo/Basic/PhoneNo"), QStringLiteral("phoneno")},
        {QStringLiteral("//CorpInfo/Basic/FaxNo"), QStringLiteral("faxno")},
        {QStringLiteral("//CorpInfo/Basic/Email"), QStringLiteral("email")},
        {QStringLiteral("//CorpInfo/ReportInfo/ReportUser"), QStringLiteral("reportuser")},
        {QStringLiteral("//CorpInfo/ReportInfo/ReportDate"), QStringLiteral("reportdate")},
        {QStringLiteral("//CorpInfo/Basic/Type"), QStringLiteral("type"), &dictionaries.CorpTypeDict},
        {QStringLiteral("//CorpInfo/Basic/Class"), QStringLiteral("class"), &dictionaries.CorpClassDict},
        // The element is Risc, the column risk.
        {QStringLiteral("//CorpInfo/Basic/Risc"), QStringLiteral("risk"), &dictionaries.CorpRiscDict},
    });
}
} // namespace

bool ImportCorpInfo(Database& db, const XmlNode& root, const QString& unitId,
                    const UnitDictionaries& dictionaries, MessageSink& sink)
{
    SectionGuard guard(QStringLiteral("导入单位"), unitId, sink);
    return ImportSingleRecord(db, root, QStringLiteral("dat_corp_info"), QStringLiteral("corpid"),
                              Mappings(dictionaries), guard);
}

QStringList CorpInfoPaths()
{
    return PathsOf(Mappings(UnitDictionaries()));
}
