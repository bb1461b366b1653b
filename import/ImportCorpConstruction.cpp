#include "import/ImportUnitFiles.h"

#include "import/SectionGuard.h"

#include <array>

namespace
{
auto Mappings(const UnitDictionaries& dictionaries)
{
    const Dictionary* status = &dictionaries.DeviceStatusDict;
    return std::to_array<FieldMapping>({
        {QStringLiteral("//CorpInfo/Construction/GreatSite/TotalArea"), QStringLiteral("totalarea")},
        {QStringLiteral("//CorpInfo/Construction/GreatSite/CoreArea"), QStringLiteral("corearea")},
        {QStringLiteral("//CorpInfo/Construction/GreatSite/RelicAge"), QStringLiteral("relicage")},
        {QStringLiteral("//CorpInfo/Construction/GreatSite/RelicType"), QStringLiteral("relictype")},
        {QStringLiteral("//CorpInfo/Construction/Depot/FireSecurityDeviceStatus"),
         QStringLiteral("fsdevstatus"), status},
        {QStringLiteral("//CorpInfo/Construction/Depot/RelicProtectionDeviceStatus"),
         QStringLiteral("rpdevstatus"), status},
    });
}
} // namespace

bool ImportCorpConstruction(Database& db, const XmlNode& root, const QString& unitId,
                            const UnitDictionaries& dictionaries, MessageSink& sink)
{
    SectionGuard guard(QStringLiteral("导入单位"), unitId, sink);
    return ImportSingleRecord(db, root, QStringLiteral("dat_corp_construction"), QStringLiteral("corpid"),
                              Mappings(dictionaries), guard);
}

QStringList CorpConstructionPaths()
{
    return PathsOf(Mappings(UnitDictionaries()));
}
