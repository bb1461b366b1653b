#include "reports/GenerateReports.h"

#include "reports/ReportWorkbook.h"
#include "reports/XlsWorkbook.h"
#include "services/Settings.h"

#include <QDate>

void GenerateReports(const Settings& settings, MessageSink& sink)
{
    XlsWorkbook workbook;
    GenerateReports(settings, workbook, sink);
}

void GenerateReports(const Settings& settings, Workbook& workbook, MessageSink& sink)
{
    // A failed national summary throws before the fund-demand summary is begun.
    WriteNationalSummary(settings, workbook, sink);
    WriteFundDemandSummary(settings, workbook, sink);
}

QString ReportOutputPath(const Settings& settings, const QString& title)
{
    return settings.LocalPath + title + QDate::currentDate().toString(QStringLiteral("MMdd")) +
           QStringLiteral(".xls");
}
