#include "reports/GenerateReports.h"

#include "reports/ReportSession.h"
#include "reports/ReportWorkbook.h"
#include "reports/ReportWriters.h"
#include "services/Settings.h"
#include "xls/XlsWorkbook.h"

#include <QDate>

void GenerateReports(const Settings& settings, MessageSink& sink)
{
    XlsWorkbook workbook;
    GenerateReports(settings, workbook, sink);
}

void GenerateReports(const Settings& settings, Workbook& workbook, MessageSink& sink)
{
    // Both workbooks read one state of the database, whatever other operators import meanwhile.
    const std::unique_ptr<ReportSession> session =
        StartReportSession(settings, QStringLiteral("国家计委汇总表"));
    // The yearly funds of the fund-demand project lists are read on the second core while the
    // national summary is written. A failed national summary throws before the fund-demand
    // summary is begun.
    const PendingFunds funds = ReadAllYearlyFunds(*session);
    WriteNationalSummary(*session, settings, workbook, sink);
    WriteFundDemandSummary(*session, settings, workbook, sink, funds);
}

QString ReportOutputPath(const Settings& settings, const QString& title)
{
    return settings.LocalPath + title + QDate::currentDate().toString(QStringLiteral("MMdd")) +
           QStringLiteral(".xls");
}
