#pragma once

// Sample report files for tests, the demo and benchmarks: unit files (.dw, root CorpInfo) and
// project files (.xm, root Report) as reporting units deliver them, declared GB2312 and encoded
// as GB18030, so that the GBK-only characters real files carry in person names come through.
//
// The structs mirror the elements of the files; every value is the text the element holds.
// A null QString leaves its element out of the file, an empty one writes an empty element, so a
// test can build the missing and empty cases from a random sample.

#include <QByteArray>
#include <QString>

#include <array>
#include <random>

// One grade of collection items (Reserve/ItemDetail/FirstClassItem and its siblings).
struct ItemGradeSample
{
    QString totalNum;
    QString goodNum;
    QString slightDamagedNum;
    QString severeDamagedNum;
    QString fundDemand;
};

struct UnitSample
{
    // Basic
    QString corpId;
    QString name;
    QString shortName;
    QString areaCode;
    QString address;
    QString postCode;
    QString phoneNo;
    QString faxNo;
    QString email;
    QString type;
    QString corpClass; // element Class
    QString risc;
    // ReportInfo
    QString reportUser;
    QString reportDate;
    // Reserve
    QString depotArea;
    QString totalItemNum;
    // FirstClassItem, SecondClassItem, ThirdClassItem, ValuableRelic
    std::array<ItemGradeSample, 4> itemDetail;
    QString damageDescription;
    // Security
    QString corpArea;
    QString itemArea;
    QString stolenTimes;
    QString stolenItemNum;
    QString waterSupplyDeviceStatus; // under FireProtect, as the next two
    QString alarmDeviceStatus;
    QString lightingDeviceStatus;
    QString securityDeviceStatus;
    QString storeDeviceStatus;
    // Construction
    QString totalArea; // under GreatSite, as the next three
    QString coreArea;
    QString relicAge;
    QString relicType;
    QString fireSecurityDeviceStatus; // under Depot, as the next one
    QString relicProtectionDeviceStatus;

    // Indented layout with every value on a line of its own, CRLF line ends.
    bool pretty = false;
};

// A budget item: its code and its element path under BudgetDetail (which holds Total and State).
struct BudgetItem
{
    const char* code;
    const char* path;
};

// The 28 budget items, in code order (11 to 83).
extern const std::array<BudgetItem, 28> kBudgetItems;

// The plan years of the yearly fund demand, Year2006 to Year2010.
constexpr int kFirstPlanYear = 2006;
constexpr int kPlanYearCount = 5;

struct BudgetLineSample
{
    QString total;
    QString state;
};

struct ProjectSample
{
    // ReportInfo
    QString corpId;
    QString reportDate;
    // BasicInfo
    QString projectId;
    QString projectName;
    QString preserveContent;
    QString currentProblem;
    QString projectContent;
    QString remark;
    QString projectType;
    QString projectAttribute;
    QString newDepotArea; // under SalvageItem, as the next three
    QString protectionContent;
    QString relicProtectionArea;
    QString relicProtectionContent;
    QString protectionArea; // under AssitantItem
    // FundDemand/Investment
    QString stateInvest;
    QString localInvest;
    QString otherInvest;
    // FundDemand/Demand
    QString totalFund;
    std::array<QString, kPlanYearCount> stateByYear; // State/Year2006 ... State/Year2010
    std::array<QString, kPlanYearCount> localByYear; // Local/Year2006 ... Local/Year2010
    // BudgetDetail, in the order of kBudgetItems
    std::array<BudgetLineSample, 28> budget;

    bool pretty = false;
};

// The bytes of one unit or project file, declared GB2312 and encoded GB18030.
QByteArray MakeUnitFile(const UnitSample& unit);
QByteArray MakeProjectFile(const ProjectSample& project);

// A small HTML page of the kind that travels beside a report file, in the same encoding.
QByteArray MakeCompanionPage(const QString& title, const QString& corpId, const QString& reportDate);

// A realistic unit. index (from 0) makes the id unique and cycles the codes that the reports
// place by value, so that units 0 to 7 already hold every unit class, type, risk level and
// device status; later units draw them from rng. Every third unit's ReportUser has a GBK-only
// character. Counts add up: the three conditions of a grade never exceed its total, the grade
// totals never exceed TotalItemNum, ItemArea never exceeds CorpArea, CoreArea never TotalArea.
UnitSample RandomUnit(std::mt19937& rng, int index);

// A realistic project of the unit corpId. index (from 0) makes the project id unique and
// cycles the codes: projects 0 to 32 hold every project type (so every project class 1 to 9),
// 0 to 5 every attribute, 0 to 4 a demand starting in each plan year, 0 to 27 a non-zero line
// of each budget item. Later projects draw a type that suits corpType (10, 20 or 30; any
// other value draws from all types). Amounts are in 10,000 yuan with up to two decimals, and
// add up exactly: TotalFund = State + Local + Other investment, the years of the state and
// local demand sum to the state and local investment, the budget totals to TotalFund and the
// budget state parts to the state investment. Every sixth project's Remark names a contact
// with a GBK-only character. corpShortName names the project when given.
ProjectSample RandomProject(std::mt19937& rng, int index, const QString& corpId, int corpType = 0,
                            const QString& corpShortName = QString());

// Writes units U0001.dw ... and projects P000001.xm ... into folder (created when missing),
// deterministic for a seed; names sorted are the order of generation. Project i belongs to
// unit i * units / projects, so consecutive projects share a unit. Every 10th file has an
// .htm companion; every 4th file is pretty, or all of them with allPretty. Files are written
// under a temporary name and renamed into place. Throws CorvaneError when a file cannot be
// written; units must be at least 1 when projects is not 0.
struct SampleSetCounts
{
    int units = 0;
    int projects = 0;
    int companions = 0;
};
SampleSetCounts WriteSampleSet(const QString& folder, int units, int projects, unsigned seed,
                               bool allPretty = false);
