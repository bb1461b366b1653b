#pragma once

#include <QString>

#include <functional>
#include <memory>

class CutTexts;
class Database;
class MessageSink;
class ReportSession;
class Workbook;
struct Settings;

// A connection for report queries: OpenDatabase's, set up for many reads; one connection of a
// workbook maps the file (mapFile), any other reads through a larger page cache.
std::unique_ptr<Database> OpenReportDatabase(const Settings& settings, bool mapFile);

// The session of a run whose first workbook is title. Throws CorvaneError "生成" + title + "失败:"
// + what failed when the database cannot be opened or read.
std::unique_ptr<ReportSession> StartReportSession(const Settings& settings, const QString& title);

// Writes one workbook of the report run: opens the template AppFolder + title + ".xls", lets
// fill() write the cells from the session's main connection, saves under the dated name (the earlier file
// of that name is replaced only by a complete one), shows "成功写入" + the path, then, when fill()
// cut texts too long for a cell, one message naming those cells (CutTexts), and closes the
// workbook. progressSteps is what fill() reports through the sink's Progress. Throws CorvaneError
// "生成" + title + "失败:" + what failed; the workbook is closed either way.
using FillWorkbook = std::function<void(Database&, CutTexts&, const std::function<void(const QString&)>&)>;
void WriteReportWorkbook(ReportSession& session, const Settings& settings, Workbook& workbook,
                         const QString& title, int progressSteps, MessageSink& sink,
                         const FillWorkbook& fill);
