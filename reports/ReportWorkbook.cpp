#include "reports/ReportWorkbook.h"

#include "reports/GenerateReports.h"
#include "reports/ReportCells.h"
#include "reports/ReportSession.h"
#include "services/AppFolder.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/MessageSink.h"
#include "services/PathAttributes.h"
#include "services/Settings.h"
#include "xls/Workbook.h"

#include <QSqlQuery>

namespace
{
// Lets go of the workbook on every way out; never throws.
class OpenedWorkbook
{
public:
    OpenedWorkbook(Workbook& workbook, const QString& path) : m_workbook(workbook)
    {
        m_workbook.OpenWorkbook(path);
    }
    ~OpenedWorkbook()
    {
        try
        {
            m_workbook.CloseWorkbook();
        }
        catch (...)
        {
        }
    }
    OpenedWorkbook(const OpenedWorkbook&) = delete;
    OpenedWorkbook& operator=(const OpenedWorkbook&) = delete;

private:
    Workbook& m_workbook;
};
} // namespace

std::unique_ptr<Database> OpenReportDatabase(const Settings& settings, bool mapFile)
{
    std::unique_ptr<Database> db = OpenDatabase(settings);
    db->TuneForReports(mapFile);
    return db;
}

std::unique_ptr<ReportSession> StartReportSession(const Settings& settings, const QString& title)
{
    try
    {
        return std::make_unique<ReportSession>(settings);
    }
    catch (const CorvaneError& error)
    {
        throw CorvaneError(QStringLiteral("生成") + title + QStringLiteral("失败:") + error.Message());
    }
}

void WriteReportWorkbook(ReportSession& session, const Settings& settings, Workbook& workbook,
                         const QString& title, int progressSteps, MessageSink& sink, const FillWorkbook& fill)
{
    const QString output = ReportOutputPath(settings, title);
    try
    {
        const QString templatePath = TemplatePath(settings.AppFolder, title);
        if (PathAttributes(templatePath) < 0)
            throw CorvaneError(QStringLiteral("找不到模板工作簿:") + templatePath);
        // The template is read in place and the filled copy saved straight to the dated name,
        // which the writer replaces only once the whole file is written.
        OpenedWorkbook opened(workbook, templatePath);
        int done = 0;
        const auto progress = [&](const QString& step)
        { sink.Progress(title + QStringLiteral(": ") + step, done++, progressSteps); };
        CutTexts cuts;
        fill(session.Main(), cuts, progress);
        sink.Progress(title, progressSteps, progressSteps);
        workbook.SaveWorkbook(output);
        sink.Show(QStringLiteral("成功写入") + output);
        const QString cutMessage = cuts.Message(title);
        if (!cutMessage.isEmpty())
            sink.Show(cutMessage);
    }
    catch (const CorvaneError& error)
    {
        sink.Progress(title, progressSteps, progressSteps);
        throw CorvaneError(QStringLiteral("生成") + title + QStringLiteral("失败:") + error.Message());
    }
}
