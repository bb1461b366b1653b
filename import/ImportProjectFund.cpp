#include "import/ImportProjectFiles.h"

#include "import/ReplaceProjectRows.h"
#include "services/PlanYears.h"

#include <array>

namespace
{
FixedRow YearRow(const QString& year)
{
    return {year,
            {QStringLiteral("//Report/FundDemand/Demand/State/Year") + year, QStringLiteral("state")},
            {QStringLiteral("//Report/FundDemand/Demand/Local/Year") + year, QStringLiteral("local")}};
}
std::span<const FieldMapping> Investment()
{
    static const FieldMapping kInvestment[] = {
        {QStringLiteral("//Report/FundDemand/Investment/State"), QStringLiteral("stateinvest")},
        {QStringLiteral("//Report/FundDemand/Investment/Local"), QStringLiteral("localinvest")},
        {QStringLiteral("//Report/FundDemand/Investment/Other"), QStringLiteral("otherinvest")},
        {QStringLiteral("//Report/FundDemand/Demand/Total"), QStringLiteral("totalfund")},
    };
    return kInvestment;
}

std::span<const FixedRow> Years()
{
    // The plan period is fixed: a year the file lacks still gets its row, one outside is not read.
    static const std::array<FixedRow, kPlanYearCount> kYears = []
    {
        std::array<FixedRow, kPlanYearCount> years;
        for (int k = 0; k < kPlanYearCount; ++k)
            years[k] = YearRow(QString::number(kFirstPlanYear + k));
        return years;
    }();
    return kYears;
}
} // namespace

bool ImportProjectFund(Database& db, const XmlNode& root, const QString& projectKey,
                       const ProjectDictionaries&, MessageSink& sink)
{
    // Each step goes on after a failed one: a refused investment amount still lets the years be written.
    SectionGuard guard(QStringLiteral("导入项目"), projectKey, sink);
    ImportSingleRecord(db, root, QStringLiteral("dat_project_fund"), QStringLiteral("projectid"),
                       Investment(), guard);
    ReplaceProjectRows(db, root, QStringLiteral("dat_project_fund_detail"), QStringLiteral("year"), Years(),
                       guard);
    return guard.Result();
}

QStringList ProjectFundPaths()
{
    return PathsOf(Investment()) + PathsOf(Years());
}
