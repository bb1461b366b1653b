#include "tools/SampleData.h"

#include "services/XmlAccess.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace
{

// The element paths the import reads, copied from the file format rather than from the
// generator, so that a misspelt element fails here and not silently in a report.
const std::vector<std::pair<const char*, QString UnitSample::*>> kUnitPaths = {
    {"//CorpInfo/Basic/CorpID", &UnitSample::corpId},
    {"//CorpInfo/Basic/Name", &UnitSample::name},
    {"//CorpInfo/Basic/ShortName", &UnitSample::shortName},
    {"//CorpInfo/Basic/AreaCode", &UnitSample::areaCode},
    {"//CorpInfo/Basic/Address", &UnitSample::address},
    {"//CorpInfo/Basic/PostCode", &UnitSample::postCode},
    {"//CorpInfo/Basic/PhoneNo", &UnitSample::phoneNo},
    {"//CorpInfo/Basic/FaxNo", &UnitSample::faxNo},
    {"//CorpInfo/Basic/Email", &UnitSample::email},
    {"//CorpInfo/Basic/Type", &UnitSample::type},
    {"//CorpInfo/Basic/Class", &UnitSample::corpClass},
    {"//CorpInfo/Basic/Risc", &UnitSample::risc},
    {"//CorpInfo/ReportInfo/ReportUser", &UnitSample::reportUser},
    {"//CorpInfo/ReportInfo/ReportDate", &UnitSample::reportDate},
    {"//CorpInfo/Reserve/DepotArea", &UnitSample::depotArea},
    {"//CorpInfo/Reserve/TotalItemNum", &UnitSample::totalItemNum},
    {"//CorpInfo/Reserve/DamageDescription", &UnitSample::damageDescription},
    {"//CorpInfo/Security/AreaInfo/CorpArea", &UnitSample::corpArea},
    {"//CorpInfo/Security/AreaInfo/ItemArea", &UnitSample::itemArea},
    {"//CorpInfo/Security/StolenInfo/StolenTimes", &UnitSample::stolenTimes},
    {"//CorpInfo/Security/StolenInfo/StolenItemNum", &UnitSample::stolenItemNum},
    {"//CorpInfo/Security/FireProtect/WaterSupplyDeviceStatus", &UnitSample::waterSupplyDeviceStatus},
    {"//CorpInfo/Security/FireProtect/AlarmDeviceStatus", &UnitSample::alarmDeviceStatus},
    {"//CorpInfo/Security/FireProtect/LightingDeviceStatus", &UnitSample::lightingDeviceStatus},
    {"//CorpInfo/Security/SecurityDeviceStatus", &UnitSample::securityDeviceStatus},
    {"//CorpInfo/Security/StoreDeviceStatus", &UnitSample::storeDeviceStatus},
    {"//CorpInfo/Construction/GreatSite/TotalArea", &UnitSample::totalArea},
    {"//CorpInfo/Construction/GreatSite/CoreArea", &UnitSample::coreArea},
    {"//CorpInfo/Construction/GreatSite/RelicAge", &UnitSample::relicAge},
    {"//CorpInfo/Construction/GreatSite/RelicType", &UnitSample::relicType},
    {"//CorpInfo/Construction/Depot/FireSecurityDeviceStatus", &UnitSample::fireSecurityDeviceStatus},
    {"//CorpInfo/Construction/Depot/RelicProtectionDeviceStatus", &UnitSample::relicProtectionDeviceStatus},
};
const char* const kGrades[] = {"FirstClassItem", "SecondClassItem", "ThirdClassItem", "ValuableRelic"};
const std::vector<std::pair<const char*, QString ItemGradeSample::*>> kGradePaths = {
    {"/TotalNum", &ItemGradeSample::totalNum},
    {"/DetailNum/GoodNum", &ItemGradeSample::goodNum},
    {"/DetailNum/SlightDamagedNum", &ItemGradeSample::slightDamagedNum},
    {"/DetailNum/SevereDamagedNum", &ItemGradeSample::severeDamagedNum},
    {"/FundDemand", &ItemGradeSample::fundDemand},
};

const std::vector<std::pair<const char*, QString ProjectSample::*>> kProjectPaths = {
    {"//Report/ReportInfo/CorpID", &ProjectSample::corpId},
    {"//Report/ReportInfo/ReportDate", &ProjectSample::reportDate},
    {"//Report/BasicInfo/ProjectID", &ProjectSample::projectId},
    {"//Report/BasicInfo/ProjectName", &ProjectSample::projectName},
    {"//Report/BasicInfo/PreserveContent", &ProjectSample::preserveContent},
    {"//Report/BasicInfo/CurrentProblem", &ProjectSample::currentProblem},
    {"//Report/BasicInfo/ProjectContent", &ProjectSample::projectContent},
    {"//Report/BasicInfo/Remark", &ProjectSample::remark},
    {"//Report/BasicInfo/ProjectType", &ProjectSample::projectType},
    {"//Report/BasicInfo/ProjectAttribute", &ProjectSample::projectAttribute},
    {"//Report/BasicInfo/SalvageItem/NewDepotArea", &ProjectSample::newDepotArea},
    {"//Report/BasicInfo/SalvageItem/ProtectionContent", &ProjectSample::protectionContent},
    {"//Report/BasicInfo/SalvageItem/RelicProtectionArea", &ProjectSample::relicProtectionArea},
    {"//Report/BasicInfo/SalvageItem/RelicProtectionContent", &ProjectSample::relicProtectionContent},
    {"//Report/BasicInfo/AssitantItem/ProtectionArea", &ProjectSample::protectionArea},
    {"//Report/FundDemand/Investment/State", &ProjectSample::stateInvest},
    {"//Report/FundDemand/Investment/Local", &ProjectSample::localInvest},
    {"//Report/FundDemand/Investment/Other", &ProjectSample::otherInvest},
    {"//Report/FundDemand/Demand/Total", &ProjectSample::totalFund},
};
const char* const kBudgetPaths[28] = {
    "RelicRepairment/Preparation",
    "RelicRepairment/Construction",
    "RelicRepairment/Estate",
    "RelicRepairment/Enviroment",
    "RelicRepairment/Traffic",
    "RelicRepairment/Other",
    "UnEarth/Preparation",
    "UnEarth/UnEarth",
    "UnEarth/Report",
    "UnEarth/Protection",
    "UnEarth/Other",
    "DepotRepairment/Preparation",
    "DepotRepairment/Construction",
    "DepotRepairment/Other",
    "RelicPurchase",
    "FireSecurity/Design",
    "FireSecurity/Purchase",
    "FireSecurity/Construction",
    "FireSecurity/Other",
    "RelicProtection/Design",
    "RelicProtection/Repairment",
    "RelicProtection/Other",
    "GreatSiteProtection/Construction",
    "GreatSiteProtection/Purchase",
    "GreatSiteProtection/Other",
    "DepotConstruction/Construction",
    "DepotConstruction/Purchase",
    "DepotConstruction/Other",
};
const char* const kBudgetCodes[28] = {"11", "12", "13", "14", "15", "16", "21", "22", "23", "24",
                                      "25", "31", "32", "33", "41", "51", "52", "53", "54", "61",
                                      "62", "63", "71", "72", "73", "81", "82", "83"};

QString Text(XmlDocument& doc, const QString& path)
{
    return GetNodeText(doc.Root(), path);
}

XmlDocument Load(const QString& path)
{
    XmlDocument doc = LoadXmlFile(path);
    EXPECT_EQ(GetXmlError(), QString()) << path.toStdString();
    return doc;
}

XmlDocument LoadBytes(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("sample.xml"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    return Load(path);
}

// A distinct value per field, each with GBK-only characters, so that a swapped or misspelt
// element and a lost character both show.
QString Distinct(int n)
{
    return QStringLiteral("镕堃喆值") + QString::number(n);
}

long long Cents(const QString& amount)
{
    bool ok = false;
    const double value = amount.toDouble(&ok);
    EXPECT_TRUE(ok) << amount.toStdString();
    return qRound64(value * 100);
}

QSet<QString> DictionaryCodes(const TempDatabase& db, const QString& sql)
{
    auto connection = db.Open();
    QSqlQuery& query = connection->Execute(sql);
    QSet<QString> codes;
    while (query.next())
        codes.insert(query.value(0).toString());
    query.finish();
    return codes;
}

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class SampleFiles : public ::testing::TestWithParam<bool>
{
protected:
    QTemporaryDir dir;
};

TEST_P(SampleFiles, UnitFileHoldsEveryValueAtTheImportedPath)
{
    std::mt19937 rng(5);
    UnitSample unit = RandomUnit(rng, 0);
    unit.pretty = GetParam();
    int n = 0;
    for (const auto& [path, field] : kUnitPaths)
        unit.*field = Distinct(++n);
    for (ItemGradeSample& grade : unit.itemDetail)
        for (const auto& [path, field] : kGradePaths)
            grade.*field = Distinct(++n);

    const QByteArray bytes = MakeUnitFile(unit);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"GB2312\"?>"));
    EXPECT_TRUE(bytes.contains("\xe9\x46\x88\xd2\x86\xb4")) << "镕堃喆 in GBK bytes";
    XmlDocument doc = LoadBytes(dir, bytes);
    for (const auto& [path, field] : kUnitPaths)
        EXPECT_EQ(Text(doc, QLatin1String(path)), unit.*field) << path;
    for (size_t g = 0; g < 4; ++g)
        for (const auto& [path, field] : kGradePaths)
        {
            const QString full = QStringLiteral("//CorpInfo/Reserve/ItemDetail/") +
                                 QLatin1String(kGrades[g]) + QLatin1String(path);
            EXPECT_EQ(Text(doc, full), unit.itemDetail[g].*field) << full.toStdString();
        }
}

TEST_P(SampleFiles, ProjectFileHoldsEveryValueAtTheImportedPath)
{
    std::mt19937 rng(5);
    ProjectSample project = RandomProject(rng, 0, QStringLiteral("U01"));
    project.pretty = GetParam();
    int n = 0;
    for (const auto& [path, field] : kProjectPaths)
        project.*field = Distinct(++n);
    for (int y = 0; y < kPlanYearCount; ++y)
    {
        project.stateByYear[static_cast<size_t>(y)] = Distinct(++n);
        project.localByYear[static_cast<size_t>(y)] = Distinct(++n);
    }
    for (BudgetLineSample& line : project.budget)
    {
        line.total = Distinct(++n);
        line.state = Distinct(++n);
    }

    XmlDocument doc = LoadBytes(dir, MakeProjectFile(project));
    for (const auto& [path, field] : kProjectPaths)
        EXPECT_EQ(Text(doc, QLatin1String(path)), project.*field) << path;
    for (int y = 0; y < kPlanYearCount; ++y)
    {
        const QString year = QString::number(2006 + y);
        EXPECT_EQ(Text(doc, QStringLiteral("//Report/FundDemand/Demand/State/Year") + year),
                  project.stateByYear[static_cast<size_t>(y)]);
        EXPECT_EQ(Text(doc, QStringLiteral("//Report/FundDemand/Demand/Local/Year") + year),
                  project.localByYear[static_cast<size_t>(y)]);
    }
    for (size_t i = 0; i < 28; ++i)
    {
        EXPECT_STREQ(kBudgetItems[i].code, kBudgetCodes[i]);
        const QString base = QStringLiteral("//Report/BudgetDetail/") + QLatin1String(kBudgetPaths[i]);
        EXPECT_EQ(Text(doc, base + QStringLiteral("/Total")), project.budget[i].total) << kBudgetPaths[i];
        EXPECT_EQ(Text(doc, base + QStringLiteral("/State")), project.budget[i].state) << kBudgetPaths[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SampleFiles, ::testing::Bool(),
                         [](const auto& layout) { return layout.param ? "Pretty" : "Compact"; });

TEST(MakeUnitFile, NullValueLeavesTheElementOutAndEmptyWritesItEmpty)
{
    std::mt19937 rng(1);
    UnitSample unit = RandomUnit(rng, 0);
    unit.risc = QString();
    unit.faxNo = QStringLiteral("");
    const QByteArray bytes = MakeUnitFile(unit);
    EXPECT_FALSE(bytes.contains("<Risc>"));
    EXPECT_TRUE(bytes.contains("<FaxNo></FaxNo>"));
}

TEST(RandomProject, AmountsAddUp)
{
    std::mt19937 rng(11);
    for (int i = 0; i < 300; ++i)
    {
        const ProjectSample p = RandomProject(rng, i, QStringLiteral("U01"), 10 + (i % 3) * 10);
        const long long state = Cents(p.stateInvest);
        const long long local = Cents(p.localInvest);
        const long long total = Cents(p.totalFund);
        ASSERT_GT(total, 0);
        EXPECT_EQ(total, state + local + Cents(p.otherInvest)) << i;
        long long stateYears = 0, localYears = 0;
        for (size_t y = 0; y < static_cast<size_t>(kPlanYearCount); ++y)
        {
            stateYears += Cents(p.stateByYear[y]);
            localYears += Cents(p.localByYear[y]);
        }
        EXPECT_EQ(stateYears, state) << i;
        EXPECT_EQ(localYears, local) << i;
        long long budgetTotal = 0, budgetState = 0;
        for (const BudgetLineSample& line : p.budget)
        {
            EXPECT_LE(Cents(line.state), Cents(line.total)) << i;
            budgetTotal += Cents(line.total);
            budgetState += Cents(line.state);
        }
        EXPECT_EQ(budgetTotal, total) << i;
        EXPECT_EQ(budgetState, state) << i;
    }
}

TEST(RandomUnit, CountsAndAreasAreConsistent)
{
    std::mt19937 rng(12);
    for (int i = 0; i < 300; ++i)
    {
        const UnitSample u = RandomUnit(rng, i);
        long long grades = 0;
        for (const ItemGradeSample& g : u.itemDetail)
        {
            const long long total = g.totalNum.toLongLong();
            EXPECT_GE(g.goodNum.toLongLong(), 0) << i;
            EXPECT_LE(g.goodNum.toLongLong() + g.slightDamagedNum.toLongLong() +
                          g.severeDamagedNum.toLongLong(),
                      total)
                << i;
            grades += total;
        }
        EXPECT_LE(grades, u.totalItemNum.toLongLong()) << i;
        EXPECT_LE(u.itemArea.toDouble(), u.corpArea.toDouble()) << i;
        EXPECT_LE(u.coreArea.toDouble(), u.totalArea.toDouble()) << i;
        EXPECT_EQ(u.stolenTimes == QLatin1String("0"), u.stolenItemNum == QLatin1String("0")) << i;
        // Museums are classes 20 to 22, immovable relics 11 to 15.
        EXPECT_EQ(u.type == QLatin1String("30"), u.corpClass.toInt() >= 20) << i;
    }
}

class SampleSet : public ::testing::Test
{
protected:
    static constexpr int kUnits = 16;
    static constexpr int kProjects = 40;
    QTemporaryDir dir;
};

TEST_F(SampleSet, EveryCodeTheReportsPlaceOccurs)
{
    TempDatabase db;
    WriteSampleSet(dir.path(), kUnits, kProjects, 99);

    std::map<QString, QSet<QString>> unitCodes;
    const char* const unitCoded[] = {
        "//CorpInfo/Basic/Type",
        "//CorpInfo/Basic/Class",
        "//CorpInfo/Basic/Risc",
        "//CorpInfo/Security/FireProtect/WaterSupplyDeviceStatus",
        "//CorpInfo/Security/FireProtect/AlarmDeviceStatus",
        "//CorpInfo/Security/FireProtect/LightingDeviceStatus",
        "//CorpInfo/Security/SecurityDeviceStatus",
        "//CorpInfo/Security/StoreDeviceStatus",
        "//CorpInfo/Construction/Depot/FireSecurityDeviceStatus",
        "//CorpInfo/Construction/Depot/RelicProtectionDeviceStatus",
    };
    QSet<QString> projectTypes, attributes, years, budgetItems;
    for (const QString& name : Names(dir.path()))
    {
        if (name.endsWith(QLatin1String(".htm")))
            continue;
        XmlDocument doc = Load(dir.filePath(name));
        if (name.endsWith(QLatin1String(".dw")))
        {
            for (const char* path : unitCoded)
                unitCodes[QLatin1String(path)].insert(Text(doc, QLatin1String(path)));
            continue;
        }
        projectTypes.insert(Text(doc, QStringLiteral("//Report/BasicInfo/ProjectType")));
        attributes.insert(Text(doc, QStringLiteral("//Report/BasicInfo/ProjectAttribute")));
        for (int y = 2006; y <= 2010; ++y)
        {
            const QString year = QString::number(y);
            if (Cents(Text(doc, QStringLiteral("//Report/FundDemand/Demand/State/Year") + year)) > 0)
                years.insert(year);
        }
        for (size_t i = 0; i < 28; ++i)
        {
            const QString path = QStringLiteral("//Report/BudgetDetail/") + QLatin1String(kBudgetPaths[i]) +
                                 QStringLiteral("/Total");
            if (Cents(Text(doc, path)) > 0)
                budgetItems.insert(QLatin1String(kBudgetCodes[i]));
        }
    }

    const QSet<QString> statuses =
        DictionaryCodes(db, QStringLiteral("select status from dic_device_status"));
    EXPECT_EQ(statuses.size(), 4);
    for (const char* path : unitCoded)
    {
        const QString key = QLatin1String(path);
        QSet<QString> expected = statuses;
        if (key.endsWith(QLatin1String("Type")))
            expected = DictionaryCodes(db, QStringLiteral("select type from dic_corp_type"));
        else if (key.endsWith(QLatin1String("Class")))
            expected = DictionaryCodes(db, QStringLiteral("select class from dic_corp_class"));
        else if (key.endsWith(QLatin1String("Risc")))
            expected = DictionaryCodes(db, QStringLiteral("select risc from dic_corp_risc"));
        EXPECT_EQ(unitCodes[key], expected) << path;
    }
    EXPECT_EQ(projectTypes, DictionaryCodes(db, QStringLiteral("select type from dic_project_type")));
    EXPECT_EQ(attributes, DictionaryCodes(db, QStringLiteral("select attribute from dic_project_attribute")));
    EXPECT_EQ(years, (QSet<QString>{"2006", "2007", "2008", "2009", "2010"}));
    EXPECT_EQ(budgetItems.size(), 28);
}

TEST_F(SampleSet, ProjectsBelongToGeneratedUnitsInNameOrder)
{
    const SampleSetCounts counts = WriteSampleSet(dir.path(), kUnits, kProjects, 3);
    EXPECT_EQ(counts.units, kUnits);
    EXPECT_EQ(counts.projects, kProjects);

    const QStringList names = Names(dir.path());
    QStringList units, projects, companions;
    for (const QString& name : names)
        (name.endsWith(QLatin1String(".dw"))   ? units
         : name.endsWith(QLatin1String(".xm")) ? projects
                                               : companions)
            .append(name);
    EXPECT_EQ(units.first(), QStringLiteral("U0001.dw"));
    EXPECT_EQ(units.last(), QStringLiteral("U0016.dw"));
    EXPECT_EQ(projects.first(), QStringLiteral("P000001.xm"));
    EXPECT_EQ(projects.last(), QStringLiteral("P000040.xm"));
    EXPECT_EQ(companions,
              (QStringList{"P000010.htm", "P000020.htm", "P000030.htm", "P000040.htm", "U0010.htm"}));
    EXPECT_EQ(counts.companions, companions.size());

    QStringList unitIds;
    for (const QString& name : units)
    {
        XmlDocument doc = Load(dir.filePath(name));
        unitIds.append(Text(doc, QStringLiteral("//CorpInfo/Basic/CorpID")));
    }
    EXPECT_EQ(QSet<QString>(unitIds.begin(), unitIds.end()).size(), kUnits);

    std::map<QString, int> projectsOfUnit;
    QSet<QString> keys;
    int lastUnit = 0;
    for (const QString& name : projects)
    {
        XmlDocument doc = Load(dir.filePath(name));
        const QString corpId = Text(doc, QStringLiteral("//Report/ReportInfo/CorpID"));
        const int unit = static_cast<int>(unitIds.indexOf(corpId));
        ASSERT_GE(unit, lastUnit) << name.toStdString() << " refers to " << corpId.toStdString();
        lastUnit = unit;
        ++projectsOfUnit[corpId];
        keys.insert(corpId + QLatin1Char('_') + Text(doc, QStringLiteral("//Report/BasicInfo/ProjectID")));
    }
    EXPECT_EQ(keys.size(), kProjects);
    EXPECT_EQ(projectsOfUnit.size(), static_cast<size_t>(kUnits));
    for (const auto& [corpId, count] : projectsOfUnit)
        EXPECT_GE(count, 2) << corpId.toStdString();
}

TEST_F(SampleSet, SameSeedGivesSameBytesAndAnotherSeedOthers)
{
    const QString first = dir.filePath(QStringLiteral("a"));
    const QString second = dir.filePath(QStringLiteral("b"));
    const QString third = dir.filePath(QStringLiteral("c"));
    WriteSampleSet(first, 5, 12, 42);
    WriteSampleSet(second, 5, 12, 42);
    WriteSampleSet(third, 5, 12, 43);

    const QStringList names = Names(first);
    ASSERT_EQ(names, Names(second));
    ASSERT_EQ(names, Names(third));
    int differing = 0;
    for (const QString& name : names)
    {
        QFile a(first + QLatin1Char('/') + name), b(second + QLatin1Char('/') + name),
            c(third + QLatin1Char('/') + name);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) &&
                    c.open(QIODevice::ReadOnly));
        const QByteArray bytes = a.readAll();
        EXPECT_EQ(bytes, b.readAll()) << name.toStdString();
        differing += bytes != c.readAll() ? 1 : 0;
    }
    EXPECT_EQ(differing, names.size());
}

// The fixtures the other suites read: real GB2312-declared files with GBK-only names.
TEST(SampleFixtures, LoadAndKeepTheirGbkOnlyNames)
{
    const QString data = QStringLiteral(CORVANE_TEST_DATA);
    XmlDocument unit = Load(data + QStringLiteral("/unit-gbk.dw"));
    const QString user = Text(unit, QStringLiteral("//CorpInfo/ReportInfo/ReportUser"));
    EXPECT_TRUE(user.contains(QRegularExpression(QStringLiteral("[镕堃喆珺玥昇翀旸赟彧祎瑄璟昉祐]"))))
        << user.toStdString();
    XmlDocument project = Load(data + QStringLiteral("/project.xm"));
    EXPECT_EQ(Text(project, QStringLiteral("//Report/ReportInfo/CorpID")),
              Text(unit, QStringLiteral("//CorpInfo/Basic/CorpID")));
    const QString remark = Text(project, QStringLiteral("//Report/BasicInfo/Remark"));
    EXPECT_TRUE(remark.contains(QRegularExpression(QStringLiteral("[镕堃喆珺玥昇翀旸赟彧祎瑄璟昉祐]"))))
        << remark.toStdString();
}
