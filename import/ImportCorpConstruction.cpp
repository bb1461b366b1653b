#include "import/ImportUnitFiles.h"

#include "import/SectionGuard.h"

bool ImportCorpConstruction(Database& db, const XmlNode& root, const QString& unitId,
                            const UnitDictionaries& dictionaries, MessageSink& sink)
{
    const Dictionary* status = &dictionaries.DeviceStatusDict;
    const FieldMapping mappings[] = {
        {QStringLiteral("//CorpInfo/Construction/GreatSite/TotalArea"), QStringLiteral("totalarea")},
        {QStringLiteral("//CorpInfo/Construction/GreatSite/CoreArea"), QStringLiteral("corearea")},
        {QStringLiteral("//CorpInfo/Construction/GreatSite/RelicAge"), QStringLiteral("relicage")},
        {QStringLiteral("//CorpInfo/Construction/GreatSite/RelicType"), QStringLiteral("relictype")},
        {QStringLiteral("//CorpInfo/Construction/Depot/FireSecurityDeviceStatus"),
         QStringLiteral("fsdevstatus"), status},
        {QStringLiteral("//CorpInfo/Construction/Depot/RelicProtectionDeviceStatus"),
         QStringLiteral("rpdevstatus"), status},
    };
    SectionGuard guard(QStringLiteral("导入单位"), unitId, sink);
    return ImportSingleRecord(db, root, QStringLiteral("dat_corp_construction"), QStringLiteral("corpid"),
                              mappings, guard);
}
