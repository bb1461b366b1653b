#include "reports/GenerateReports.h"
#include "reports/ReportRows.h"
#include "reports/ReportWorkbook.h"
#include "reports/ReportWriters.h"
#include "reports/SerializedWorkbook.h"
#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QMap>

#include <atomic>
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
constexpr int kCategoryCount = int(std::size(kCategories));

// The title row of each category, and after them the row below the last list: each begins on the
// row after the last of the one before, the first in row 4. Counting the projects first lets the
// categories be written in any order.
std::vector<int> TitleRows(Database& db)
{
    QMap<int, int> projects;
    ReportRows rows(db, QStringLiteral("select class,count(*) as n from prjfund where class>=1 and class<=7 "
                                       "group by class"));
    const int projectClass = rows.Field(QStringLiteral("class"));
    const int count = rows.Field(QStringLiteral("n"));
    while (rows.Next())
        projects.insert(rows.Value(projectClass).toInt(), rows.Value(count).toInt());
    std::vector<int> titleRows;
    int row = 4;
    for (const Category& category : kCategories)
    {
        titleRows.push_back(row);
        row += 1 + projects.value(QString::fromLatin1(category.classCode).toInt());
    }
    titleRows.push_back(row);
    return titleRows;
}

// The project lists, shared out to the threads that write them: each takes the next category
// not yet begun. A failure on one thread stops the others at their next category.
class ProjectLists
{
public:
    ProjectLists(std::vector<int> titleRows, Workbook& workbook)
        : m_titleRows(std::move(titleRows)), m_workbook(workbook)
    {
    }

    void Write(Database& db, const YearlyFunds& funds)
    {
        try
        {
            for (int next = m_next++; next < kCategoryCount && !m_failed; next = m_next++)
            {
                const Category& category = kCategories[next];
                const int used =
                    WriteProjectList(db, QString::fromLatin1(category.classCode),
                                     QString::fromUtf8(category.title), m_titleRows[next], funds, m_workbook);
                // Another operator's import between the count and the list would shift the rows.
                if (used != m_titleRows[next + 1] - m_titleRows[next])
                    throw CorvaneError(
                        QStringLiteral("生成项目清单时数据库中的项目有了变化，请重新生成报表"));
            }
        }
        catch (...)
        {
            m_failed = true;
            throw;
        }
    }
    void Stop() { m_failed = true; }

private:
    const std::vector<int> m_titleRows;
    Workbook& m_workbook;
    std::atomic<int> m_next{0};
    std::atomic<bool> m_failed{false};
};
} // namespace

void WriteFundDemandSummary(const Settings& settings, Workbook& workbook, MessageSink& sink)
{
    WriteFundDemandSummary(settings, workbook, sink, ReadAllYearlyFunds(settings));
}

void WriteFundDemandSummary(const Settings& settings, Workbook& workbook, MessageSink& sink,
                            const PendingFunds& funds)
{
    const auto fill = [&](Database& db, const std::function<void(const QString&)>& progress)
    {
        // The project lists of sheet 4 start on a second thread with a connection of their own
        // while the tables fill sheets 0 to 3, and this thread helps with them when the tables are
        // done. The sheets share no cell, and the workbook takes one call at a time.
        SerializedWorkbook shared(workbook);
        ProjectLists lists(TitleRows(db), shared);
        std::future<void> helper = std::async(std::launch::async,
                                              [&]
                                              {
                                                  const std::unique_ptr<Database> listDb =
                                                      OpenReportDatabase(settings, false);
                                                  lists.Write(*listDb, *funds.get());
                                              });
        try
        {
            progress(QStringLiteral("按项目属性"));
            WriteAttributeSheet(db, shared);
            progress(QStringLiteral("按项目类别及年度"));
            WriteFundDetailSheet(db, shared);
            progress(QStringLiteral("单位安全状况"));
            WriteSecuritySheet(db, shared);
            progress(QStringLiteral("馆藏文物保存状况"));
            WriteCollectionsSheet(db, shared);
            progress(QStringLiteral("项目清单"));
            lists.Write(db, *funds.get());
        }
        catch (...)
        {
            lists.Stop();
            helper.wait();
            throw;
        }
        helper.get();
    };
    WriteReportWorkbook(settings, workbook, QStringLiteral("十一五资金需求汇总表"), 5, sink, fill);
}
