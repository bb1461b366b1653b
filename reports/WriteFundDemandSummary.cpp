#include "reports/GenerateReports.h"
#include "reports/ReportRows.h"
#include "reports/ReportSession.h"
#include "reports/ReportWorkbook.h"
#include "reports/ReportWriters.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "xls/Workbook.h"

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
    // Counted here rather than grouped in the query: without the grouping the engine leaves out
    // the joins that add no column and reads the class index alone.
    QMap<int, int> projects;
    ReportRows rows(db, QStringLiteral("select class from prjfund where class>=1 and class<=7"));
    const int projectClass = rows.Field(QStringLiteral("class"));
    while (rows.Next())
        ++projects[rows.Value(projectClass).toInt()];
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

// One piece of the workbook that either thread may write with its own connection: a sheet of
// tables, or the project list of one category.
struct Piece
{
    QString step; // shown as progress when this thread begins it; empty for none
    std::function<void(Database&)> write;
};

// The pieces, shared out to the threads that write them: each takes the next piece not yet begun.
// A failure on one thread stops the others at their next piece.
class SharedPieces
{
public:
    explicit SharedPieces(std::vector<Piece> pieces) : m_pieces(std::move(pieces)) {}

    void Write(Database& db, const std::function<void(const QString&)>& progress)
    {
        try
        {
            for (size_t next = m_next++; next < m_pieces.size() && !m_failed; next = m_next++)
            {
                const Piece& piece = m_pieces[next];
                if (progress && !piece.step.isEmpty())
                    progress(piece.step);
                piece.write(db);
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
    const std::vector<Piece> m_pieces;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_failed{false};
};
} // namespace

void WriteFundDemandSummary(const Settings& settings, Workbook& workbook, MessageSink& sink)
{
    const std::unique_ptr<ReportSession> session =
        StartReportSession(settings, QStringLiteral("十一五资金需求汇总表"));
    WriteFundDemandSummary(*session, settings, workbook, sink, ReadAllYearlyFunds(*session));
}

void WriteFundDemandSummary(ReportSession& session, const Settings& settings, Workbook& workbook,
                            MessageSink& sink, const PendingFunds& funds)
{
    const auto fill = [&](Database& db, CutTexts& cuts, const std::function<void(const QString&)>& progress)
    {
        // Two threads, each with a connection of its own, share out the sheets of tables and the
        // project lists of sheet 4, the longest first, so that they end close together. The
        // pieces share no cell, and the workbook takes one call at a time.
        SerializedWorkbook shared(workbook);
        std::promise<std::vector<int>> titleRowsCounted;
        const std::shared_future<std::vector<int>> titleRows = titleRowsCounted.get_future().share();
        std::vector<Piece> pieces = {
            {QStringLiteral("按项目类别及年度"),
             [&](Database& on) { WriteFundDetailSheet(on, *funds.get(), shared); }},
            {QStringLiteral("按项目属性"), [&](Database& on) { WriteAttributeSheet(on, shared); }},
            {QStringLiteral("单位安全状况"), [&](Database& on) { WriteSecuritySheet(on, shared); }},
            {QStringLiteral("馆藏文物保存状况"), [&](Database& on) { WriteCollectionsSheet(on, shared); }},
        };
        for (int k = 0; k < kCategoryCount; ++k)
            pieces.push_back({k == 0 ? QStringLiteral("项目清单") : QString(), [&, k](Database& on)
                              {
                                  const std::vector<int>& rows = titleRows.get();
                                  const Category& category = kCategories[k];
                                  const int used = WriteProjectList(
                                      on, QString::fromLatin1(category.classCode),
                                      QString::fromUtf8(category.title), rows[k], *funds.get(), shared, cuts);
                                  // Another operator's import between the count and the list
                                  // would shift the rows.
                                  if (used != rows[k + 1] - rows[k])
                                      throw CorvaneError(QStringLiteral(
                                          "生成项目清单时数据库中的项目有了变化，请重新生成报表"));
                              }});
        SharedPieces work(std::move(pieces));
        std::future<void> helper = session.OnHelper([&](Database& on) { work.Write(on, nullptr); });
        try
        {
            try
            {
                titleRowsCounted.set_value(TitleRows(db));
            }
            catch (...)
            {
                titleRowsCounted.set_exception(std::current_exception());
                throw;
            }
            work.Write(db, progress);
        }
        catch (...)
        {
            work.Stop();
            helper.wait();
            throw;
        }
        helper.get();
    };
    WriteReportWorkbook(session, settings, workbook, QStringLiteral("十一五资金需求汇总表"), 5, sink, fill);
}
