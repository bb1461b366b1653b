#include "reports/ReportRows.h"
#include "reports/ReportSession.h"
#include "reports/ReportWorkbook.h"
#include "reports/ReportWriters.h"
#include "services/Database.h"

#include <algorithm>

YearlyFunds::YearlyFunds(Database& db, const QString& projectCondition)
{
    QString sql = QStringLiteral("select projectid,year,state,local from dat_project_fund_detail");
    // Most projects: one pass over the table costs less than a lookup per project.
    if (!projectCondition.isEmpty())
        sql +=
            QStringLiteral(" where projectid in (select projectid from zjzb where %1)").arg(projectCondition);
    ReportRows rows(db, sql);
    const int projectid = rows.Field(QStringLiteral("projectid"));
    const int year = rows.Field(QStringLiteral("year"));
    const int state = rows.Field(QStringLiteral("state"));
    const int local = rows.Field(QStringLiteral("local"));
    // An import writes the rows of a project one after the other: the project is looked up again
    // only when it changes.
    QString currentId;
    QList<FundYear>* current = nullptr;
    while (rows.Next())
    {
        const QString id = rows.Value(projectid).toString();
        if (current == nullptr || id != currentId)
        {
            current = &m_byProject[id];
            currentId = id;
            // An imported project has a row for each of the five plan years: one allocation each.
            if (current->isEmpty())
                current->reserve(5);
        }
        current->append(FundYear{rows.Value(year), rows.Value(state), rows.Value(local)});
    }
}

const QList<FundYear>& YearlyFunds::Of(const QString& projectid) const
{
    static const QList<FundYear> kNone;
    const auto found = m_byProject.constFind(projectid);
    return found == m_byProject.constEnd() ? kNone : *found;
}

QList<FundYear> YearlyFunds::InYearOrder(const QString& projectid) const
{
    QList<FundYear> years = Of(projectid);
    // As "order by year" sorts: rows without a year first.
    std::stable_sort(years.begin(), years.end(),
                     [](const FundYear& a, const FundYear& b)
                     {
                         if (a.year.isNull() || b.year.isNull())
                             return a.year.isNull() && !b.year.isNull();
                         return a.year.toDouble() < b.year.toDouble();
                     });
    return years;
}

PendingFunds ReadAllYearlyFunds(ReportSession& session)
{
    return session.OnHelper([](Database& db) { return std::make_shared<const YearlyFunds>(db, QString()); })
        .share();
}
