#pragma once

#include <QString>

class Database;
class MessageSink;
class Workbook;
struct Settings;

// The report run: the national planning summary "国家计委汇总表", then the fund-demand summary
// "十一五资金需求汇总表", each copied from AppFolder + title + ".xls", filled from the database and
// saved as LocalPath + title + today's "MMDD" + ".xls"; "成功写入" + that path is shown after
// each. A workbook is written under a temporary name and renamed over the dated name only when
// complete. Throws CorvaneError saying what failed (and the sheet and cell where that applies);
// after a failed national summary the fund-demand summary is not attempted.
void GenerateReports(const Settings& settings, MessageSink& sink);
// The same with the given workbook writer.
void GenerateReports(const Settings& settings, Workbook& workbook, MessageSink& sink);

// The two workbooks on their own, as the run writes them.
void WriteNationalSummary(const Settings& settings, Workbook& workbook, MessageSink& sink);
void WriteFundDemandSummary(const Settings& settings, Workbook& workbook, MessageSink& sink);

// The dated output path of a workbook title: LocalPath + title + "MMDD" of today + ".xls".
QString ReportOutputPath(const Settings& settings, const QString& title);
