#include "reports/GenerateReports.h"

#include "reports/XlsWorkbook.h"
#include "services/CorvaneError.h"

void GenerateReports(const Settings& settings, MessageSink& sink)
{
    XlsWorkbook workbook;
    GenerateReports(settings, workbook, sink);
}

void GenerateReports(const Settings&, Workbook&, MessageSink&)
{
    throw CorvaneError(QStringLiteral("统计报表尚未实现"));
}
