#pragma once

#include "ReportXml.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// The text of a unit file for tests: every element of a complete report, each value distinct so
// that a value in the wrong column shows. Paths are relative to CorpInfo ("Basic/Name").
// A change with a null value leaves the element out; an empty one writes an empty element.
using UnitChanges = QList<std::pair<QString, QString>>;

inline QList<std::pair<QString, QString>> CompleteUnit(const QString& corpId)
{
    QList<std::pair<QString, QString>> fields = {
        {QStringLiteral("Basic/CorpID"), corpId},
        {QStringLiteral("Basic/Name"), QStringLiteral("华严寺文物保护管理所")},
        {QStringLiteral("Basic/ShortName"), QStringLiteral("华严寺")},
        {QStringLiteral("Basic/AreaCode"), QStringLiteral("540100")},
        {QStringLiteral("Basic/Address"), QStringLiteral("文化路132号")},
        {QStringLiteral("Basic/PostCode"), QStringLiteral("850000")},
        {QStringLiteral("Basic/PhoneNo"), QStringLiteral("0891-2289763")},
        {QStringLiteral("Basic/FaxNo"), QStringLiteral("0891-2842051")},
        {QStringLiteral("Basic/Email"), QStringLiteral("hys@example.cn")},
        {QStringLiteral("Basic/Type"), QStringLiteral("20")},
        {QStringLiteral("Basic/Class"), QStringLiteral("12")},
        {QStringLiteral("Basic/Risc"), QStringLiteral("10")},
        {QStringLiteral("ReportInfo/ReportUser"), QStringLiteral("李嘉")},
        {QStringLiteral("ReportInfo/ReportDate"), QStringLiteral("2006-04-02")},
        {QStringLiteral("Reserve/DepotArea"), QStringLiteral("237.5")},
        {QStringLiteral("Reserve/TotalItemNum"), QStringLiteral("999")},
    };
    const QStringList grades = {QStringLiteral("FirstClassItem"), QStringLiteral("SecondClassItem"),
                                QStringLiteral("ThirdClassItem"), QStringLiteral("ValuableRelic")};
    for (int grade = 1; grade <= 4; ++grade)
    {
        // Grade g holds g01 to g05: total, good, slightly and severely damaged, fund demand.
        const QString base = QStringLiteral("Reserve/ItemDetail/") + grades[grade - 1] + QLatin1Char('/');
        const int first = grade * 100;
        fields.append({base + QStringLiteral("TotalNum"), QString::number(first + 1)});
        fields.append({base + QStringLiteral("DetailNum/GoodNum"), QString::number(first + 2)});
        fields.append({base + QStringLiteral("DetailNum/SlightDamagedNum"), QString::number(first + 3)});
        fields.append({base + QStringLiteral("DetailNum/SevereDamagedNum"), QString::number(first + 4)});
        fields.append(
            {base + QStringLiteral("FundDemand"), QString::number(first + 5) + QStringLiteral(".5")});
    }
    fields += QList<std::pair<QString, QString>>{
        {QStringLiteral("Reserve/DamageDescription"), QStringLiteral("铁器锈蚀")},
        {QStringLiteral("Security/AreaInfo/CorpArea"), QStringLiteral("1200.5")},
        {QStringLiteral("Security/AreaInfo/ItemArea"), QStringLiteral("300.25")},
        {QStringLiteral("Security/StolenInfo/StolenTimes"), QStringLiteral("7")},
        {QStringLiteral("Security/StolenInfo/StolenItemNum"), QStringLiteral("8")},
        {QStringLiteral("Security/FireProtect/WaterSupplyDeviceStatus"), QStringLiteral("0")},
        {QStringLiteral("Security/FireProtect/AlarmDeviceStatus"), QStringLiteral("1")},
        {QStringLiteral("Security/FireProtect/LightingDeviceStatus"), QStringLiteral("2")},
        {QStringLiteral("Security/SecurityDeviceStatus"), QStringLiteral("3")},
        {QStringLiteral("Security/StoreDeviceStatus"), QStringLiteral("1")},
        {QStringLiteral("Construction/GreatSite/TotalArea"), QStringLiteral("5000")},
        {QStringLiteral("Construction/GreatSite/CoreArea"), QStringLiteral("800")},
        {QStringLiteral("Construction/GreatSite/RelicAge"), QStringLiteral("唐")},
        {QStringLiteral("Construction/GreatSite/RelicType"), QStringLiteral("古遗址")},
        {QStringLiteral("Construction/Depot/FireSecurityDeviceStatus"), QStringLiteral("2")},
        {QStringLiteral("Construction/Depot/RelicProtectionDeviceStatus"), QStringLiteral("3")},
    };
    return fields;
}

// A UTF-8 unit file with the changes applied. A change names an element or a group of them
// ("Construction/GreatSite"); paths the complete unit lacks are added at the end.
inline QByteArray UnitFile(const QString& corpId, const UnitChanges& changes = {})
{
    QList<std::pair<QString, QString>> fields = CompleteUnit(corpId);
    for (const auto& [path, value] : changes)
    {
        bool found = false;
        for (auto& field : fields)
            if (field.first == path || field.first.startsWith(path + QLatin1Char('/')))
            {
                field.second = value;
                found = true;
            }
        if (!found)
            fields.append({path, value});
    }
    ReportXml xml;
    for (const auto& [path, value] : fields)
        if (!value.isNull())
            xml.Set(QStringLiteral("CorpInfo/") + path, value);
    return xml.Bytes();
}
