#include "import/ImportUnitFiles.h"

#include "import/SectionGuard.h"

#include <array>

namespace
{
auto Mappings(const UnitDictionaries& dictionaries)
{
    const Dictionary* status = &dictionaries.DeviceStatusDict;
    return std::to_array<FieldMapping>({
        {QStringLiteral("//CorpInfo/Security/AreaInfo/CorpArea"), QStringLiteral("corparea")},
        {QStringLiteral("//CorpInfo/Security/AreaInfo/ItemArea"), QStringLiteral("itemarea")},
        {QStringLiteral("//CorpInfo/Security/StolenInfo/StolenTimes"), QStringLiteral("stolentimes")},
        {QStringLiteral("//CorpInfo/Security/StolenInfo/StolenItemNum"), QStringLiteral("stolenitemnum")},
        {QStringLiteral("//CorpInfo/Security/FireProtect/WaterSupplyDeviceStatus"),
         QStringLiteral("waterdevstatus"), status},
        {QStringLiteral("//CorpInfo/Security/FireProtect/AlarmDeviceStatus"),
         QStringLiteral("alarmdevstatus"), status},
        {QStringLiteral("//CorpInfo/Security/FireProtect/LightingDeviceStatus"),
         QStringLiteral("lightdevstatus"), status},
        {QStringLiteral("//CorpInfo/Security/SecurityDeviceStatus"), QStringLiteral("securedevstatus"),
         status},
        {QStringLiteral("//CorpInfo/Security/StoreDeviceStatus"), QStringLiteral("storedevstatus"), status},
    });
}
} // namespace

bool ImportCorpSecurity(Database& db, const XmlNode& root, const QString& unitId,
                        const UnitDictionaries& dictionaries, MessageSink& sink)
{
    SectionGuard guard(QStringLiteral("导入单位"), unitId, sink);
    return ImportSingleRecord(db, root, QStringLiteral("dat_corp_security"), QStringLiteral("corpid"),
                              Mappings(dictionaries), guard);
}

QStringList CorpSecurityPaths()
{
    return PathsOf(Mappings(UnitDictionaries()));
}
