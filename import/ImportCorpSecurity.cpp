#include "import/ImportUnitFiles.h"

#include "import/SectionGuard.h"

bool ImportCorpSecurity(Database& db, const XmlNode& root, const QString& unitId,
                        const UnitDictionaries& dictionaries, MessageSink& sink)
{
    const Dictionary* status = &dictionaries.DeviceStatusDict;
    const FieldMapping mappings[] = {
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
    };
    SectionGuard guard(QStringLiteral("导入单位"), unitId, sink);
    return ImportSingleRecord(db, root, QStringLiteral("dat_corp_security"), QStringLiteral("corpid"),
                              mappings, guard);
}
