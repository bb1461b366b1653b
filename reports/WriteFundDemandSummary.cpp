#include "reports/GenerateReports.h"
#include "reports/ReportWorkbook.h"
#include "reports/ReportWriters.h"
#include "reports/SerializedWorkbook.h"
#include "services/Database.h"

#include <future>
#include <memory>

namespace
{
struct Category
{
    const char* classCode;
    const char* title;
};

// The order of the lists on sheet 4; it is not the order of the codes.
const Category kCategories[] = {
    {"1", "一、古建、石窟（石刻）、近现代保护类"},
    {"7", "二、遗址、墓葬保护类"},
    {"2", "三、考古发掘类"},
    {"3", "四、博物馆类"},
    {"4", "五、珍贵文物征集类"},
    {"5", "六、安全消防类"},
    {"6", "七、馆藏一、二文物及重要出土文物保护类"},
};
} // namespace

void WriteFundDemandSummary(const Settings& settings, Workbook& workbook, MessageSink& sink)
{
    WriteReportWorkbook(settings, workbook, QStringLiteral("十一五资金需求汇总表"), 5, sink,
                        [&](Database& db, const auto& progress)
                        {
                            progress(QStringLiteral("按项目属性"));
                            WriteAttributeSheet(db, workbook);
                            progress(QStringLiteral("按项目类别及年度"));
                            WriteFundDetailSheet(db, workbook);
                            progress(QStringLiteral("单位安全状况"));
                            WriteSecuritySheet(db, workbook);
                            progress(QStringLiteral("馆藏文物保存状况"));
                            WriteCollectionsSheet(db, workbook);
                            progress(QStringLiteral("项目清单"));
                            const YearlyFunds funds(db, QString());
                            int row = 4;
                            for (const Category& category : kCategories)
                                row +=
                                    WriteProjectList(db, QString::fromLatin1(category.classCode),
                                                     QString::fromUtf8(category.title), row, funds, workbook);
                        });
}
