#include "import/ImportUnitFiles.h"

#include "import/SectionGuard.h"

#include <array>

namespace
{
auto Mappings(const UnitDictionaries&)
{
    // Grades 1 to 4: FirstClassItem, SecondClassItem, ThirdClassItem, ValuableRelic. Counts are
    // stored as the file holds them, even when they do not add up.
    return std::to_array<FieldMapping>({
        {QStringLiteral("//CorpInfo/Reserve/DepotArea"), QStringLiteral("depotarea")},
        {QStringLiteral("//CorpInfo/Reserve/TotalItemNum"), QStringLiteral("totalitemnum")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/FirstClassItem/TotalNum"),
         QStringLiteral("totalnum1")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/FirstClassItem/DetailNum/GoodNum"),
         QStringLiteral("goodnum1")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/FirstClassItem/DetailNum/SlightDamagedNum"),
         QStringLiteral("slightdamagednum1")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/FirstClassItem/DetailNum/SevereDamagedNum"),
         QStringLiteral("severedamagednum1")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/FirstClassItem/FundDemand"),
         QStringLiteral("funddemand1")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/SecondClassItem/TotalNum"),
         QStringLiteral("totalnum2")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/SecondClassItem/DetailNum/GoodNum"),
         QStringLiteral("goodnum2")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/SecondClassItem/DetailNum/SlightDamagedNum"),
         QStringLiteral("slightdamagednum2")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/SecondClassItem/DetailNum/SevereDamagedNum"),
         QStringLiteral("severedamagednum2")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/SecondClassItem/FundDemand"),
         QStringLiteral("funddemand2")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ThirdClassItem/TotalNum"),
         QStringLiteral("totalnum3")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ThirdClassItem/DetailNum/GoodNum"),
         QStringLiteral("goodnum3")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ThirdClassItem/DetailNum/SlightDamagedNum"),
         QStringLiteral("slightdamagednum3")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ThirdClassItem/DetailNum/SevereDamagedNum"),
         QStringLiteral("severedamagednum3")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ThirdClassItem/FundDemand"),
         QStringLiteral("funddemand3")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ValuableRelic/TotalNum"), QStringLiteral("totalnum4")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ValuableRelic/DetailNum/GoodNum"),
         QStringLiteral("goodnum4")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ValuableRelic/DetailNum/SlightDamagedNum"),
         QStringLiteral("slightdamagednum4")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ValuableRelic/DetailNum/SevereDamagedNum"),
         QStringLiteral("severedamagednum4")},
        {QStringLiteral("//CorpInfo/Reserve/ItemDetail/ValuableRelic/FundDemand"),
         QStringLiteral("funddemand4")},
        {QStringLiteral("//CorpInfo/Reserve/DamageDescription"), QStringLiteral("damagedesc")},
    });
}
} // namespace

bool ImportCorpReserve(Database& db, const XmlNode& root, const QString& unitId,
                       const UnitDictionaries& dictionaries, MessageSink& sink)
{
    SectionGuard guard(QStringLiteral("导入单位"), unitId, sink);
    return ImportSingleRecord(db, root, QStringLiteral("dat_corp_reserve"), QStringLiteral("corpid"),
                              Mappings(dictionaries), guard);
}

QStringList CorpReservePaths()
{
    return PathsOf(Mappings(UnitDictionaries()));
}
