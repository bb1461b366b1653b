#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <future>
#include <memory>

class CutTexts;
class Database;
class MessageSink;
class ReportSession;
class Workbook;
struct Settings;

// One yearly-fund row of a project.
struct FundYear
{
    QVariant year;
    QVariant state;
    QVariant local;
};

// The yearly funds of the projects that a condition on zjzb selects (all for none), read from
// dat_project_fund_detail in one pass, so that the writers need no query per project.
class YearlyFunds
{
public:
    YearlyFunds(Database& db, const QString& projectCondition);
    // The project's rows in the order the table yields them; empty for a project without any.
    const QList<FundYear>& Of(const QString& projectid) const;
    // The same rows ordered by year (rows without a year first, ties in table order).
    QList<FundYear> InYearOrder(const QString& projectid) const;

private:
    QHash<QString, QList<FundYear>> m_byProject;
};

// The yearly funds of every project, being read on the session's helper thread, so that another
// workbook can be written meanwhile.
using PendingFunds = std::shared_future<std::shared_ptr<const YearlyFunds>>;
PendingFunds ReadAllYearlyFunds(ReportSession& session);

// The two workbooks as the run writes them, from the session's connections; the fund-demand
// summary with the project lists' yearly funds read beforehand.
void WriteNationalSummary(ReportSession& session, const Settings& settings, Workbook& workbook,
                          MessageSink& sink);
void WriteFundDemandSummary(ReportSession& session, const Settings& settings, Workbook& workbook,
                            MessageSink& sink, const PendingFunds& funds);

// The sheet writers of the fund-demand summary. Each fills its sheet of the open workbook from
// the database and throws CorvaneError naming the sheet and cell when a value cannot be written.
void WriteAttributeSheet(Database& db, Workbook& workbook);   // sheet 0, by project attribute
void WriteFundDetailSheet(Database& db, Workbook& workbook);  // sheet 1, by project class and year
void WriteSecuritySheet(Database& db, Workbook& workbook);    // sheet 2, unit security
void WriteCollectionsSheet(Database& db, Workbook& workbook); // sheet 3, collections condition
// Sheet 1 with the yearly funds of every project read beforehand.
void WriteFundDetailSheet(Database& db, const YearlyFunds& funds, Workbook& workbook);

// The four device-status columns from firstColumn ("7", "11", ...) of sheet 2 for one status field
// of corpsecurity (waterdevstatus, alarmdevstatus, lightdevstatus, securedevstatus, storedevstatus).
void WriteDeviceStatusCounts(Database& db, const QString& statusField, const QString& firstColumn,
                             Workbook& workbook);

// One category block of sheet 4 from titleRow: the title line with the category's totals, then one
// line per project of class classCode. Returns the rows used: 1 + the number of projects. A text
// too long for a cell is cut and noted in cuts.
int WriteProjectList(Database& db, const QString& classCode, const QString& title, int titleRow,
                     const YearlyFunds& funds, Workbook& workbook, CutTexts& cuts);
