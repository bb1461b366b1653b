#include "import/ImportProjectFiles.h"

#include "import/ReplaceProjectRows.h"

namespace
{
// item: the element under BudgetDetail that holds the item's Total and State.
FixedRow BudgetRow(const char* code, const char* item)
{
    const QString path = QStringLiteral("//Report/BudgetDetail/") + QLatin1String(item);
    return {QLatin1String(code),
            {path + QStringLiteral("/Total"), QStringLiteral("total")},
            {path + QStringLiteral("/State"), QStringLiteral("state")}};
}
std::span<const FixedRow> Items()
{
    // First digit: the item group; second: the item within it. Element names are the file format's.
    static const FixedRow kItems[] = {
        BudgetRow("11", "RelicRepairment/Preparation"),
        BudgetRow("12", "RelicRepairment/Construction"),
        BudgetRow("13", "RelicRepairment/Estate"),
        BudgetRow("14", "RelicRepairment/Enviroment"),
        BudgetRow("15", "RelicRepairment/Traffic"),
        BudgetRow("16", "RelicRepairment/Other"),
        BudgetRow("21", "UnEarth/Preparation"),
        BudgetRow("22", "UnEarth/UnEarth"),
        BudgetRow("23", "UnEarth/Report"),
        BudgetRow("24", "UnEarth/Protection"),
        BudgetRow("25", "UnEarth/Other"),
        BudgetRow("31", "DepotRepairment/Preparation"),
        BudgetRow("32", "DepotRepairment/Construction"),
        BudgetRow("33", "DepotRepairment/Other"),
        BudgetRow("41", "RelicPurchase"),
        BudgetRow("51", "FireSecurity/Design"),
        BudgetRow("52", "FireSecurity/Purchase"),
        BudgetRow("53", "FireSecurity/Construction"),
        BudgetRow("54", "FireSecurity/Other"),
        BudgetRow("61", "RelicProtection/Design"),
        BudgetRow("62", "RelicProtection/Repairment"),
        BudgetRow("63", "RelicProtection/Other"),
        BudgetRow("71", "GreatSiteProtection/Construction"),
        BudgetRow("72", "GreatSiteProtection/Purchase"),
        BudgetRow("73", "GreatSiteProtection/Other"),
        BudgetRow("81", "DepotConstruction/Construction"),
        BudgetRow("82", "DepotConstruction/Purchase"),
        BudgetRow("83", "DepotConstruction/Other"),
    };
    return kItems;
}
} // namespace

bool ImportProjectBudget(Database& db, const XmlNode& root, const QString& projectKey,
                         const ProjectDictionaries&, MessageSink& sink)
{
    SectionGuard guard(QStringLiteral("导入项目"), projectKey, sink);
    return ReplaceProjectRows(db, root, QStringLiteral("dat_project_budget"), QStringLiteral("type"), Items(),
                              guard);
}

QStringList ProjectBudgetPaths()
{
    return PathsOf(Items());
}
