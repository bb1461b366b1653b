#include "cli/Commands.h"

#include "import/LedgerRecords.h"
#include "reports/ImportResults.h"
#include "services/AppFolder.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/MessageSink.h"
#include "services/Settings.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace
{
const QString kResultsTitle = QStringLiteral("导入结果");

void PrintLine(const QString& line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int UsageProblem(const QString& problem)
{
    const QByteArray bytes = (problem + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    return 2;
}

// The options of the ledger commands and the other arguments, in order.
struct LedgerArguments
{
    std::optional<QString> last;
    bool failed = false;
    std::optional<QString> exportFile;
    std::optional<QString> exportFolder;
    QStringList others;
};

// Takes the options allowed among arguments; false with a usage problem for any other option
// or one without its value.
bool ParseLedgerArguments(const QString& command, const QStringList& arguments, const QStringList& allowed,
                          LedgerArguments& parsed, QString& problem)
{
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--")))
        {
            parsed.others.append(argument);
            continue;
        }
        if (!allowed.contains(argument))
        {
            problem = command + QStringLiteral(" 不接受选项 ") + argument;
            return false;
        }
        if (argument == QLatin1String("--failed"))
        {
            parsed.failed = true;
            continue;
        }
        if (i + 1 >= arguments.size())
        {
            problem = argument + QStringLiteral(" 需要一个值");
            return false;
        }
        const QString& value = arguments[++i];
        if (argument == QLatin1String("--last"))
            parsed.last = value;
        else if (argument == QLatin1String("--export"))
            parsed.exportFile = value;
        else
            parsed.exportFolder = value;
    }
    return true;
}

QString Operator(const LedgerBatch& batch)
{
    if (batch.osUser.isEmpty() && batch.host.isEmpty())
        return QStringLiteral("-");
    QString text = OperatorText(batch);
    if (!batch.databaseUser.isEmpty())
        text += QStringLiteral("（数据库用户 ") + batch.databaseUser + QStringLiteral("）");
    return text;
}

QString Counts(const LedgerBatch& batch)
{
    return QStringLiteral("导入%1 失败%2 未处理%3  新增%4 更新%5 未变化%6")
        .arg(batch.imported)
        .arg(batch.failed)
        .arg(batch.unprocessed)
        .arg(batch.added)
        .arg(batch.updated)
        .arg(batch.unchanged);
}

QString OrDash(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

// Lines of a message after its first, and the element and value it is about, below its file.
void PrintIndented(const QString& text, int indent)
{
    const QString pad(indent, QLatin1Char(' '));
    PrintLine(pad + QString(text).replace(QLatin1Char('\n'), QLatin1Char('\n') + pad));
}

void PrintDetail(const MessageDetail& detail, int indent)
{
    if (!detail.element.isEmpty() || !detail.value.isEmpty())
        PrintIndented(QStringLiteral("元素 ") + OrDash(detail.element) + QStringLiteral("  值 ") +
                          OrDash(detail.value),
                      indent);
}

void PrintFile(const LedgerFile& file)
{
    const QString unit = (file.unitId + QLatin1Char(' ') + file.unitName).trimmed();
    const QString reason = file.messages.isEmpty() ? QString() : file.messages.first().text;
    QString line =
        QStringLiteral("%1  %2  %3  %4  %5")
            .arg(file.number)
            .arg(file.name, OrDash(unit), OutcomeText(file.outcome), OrDash(ChangeText(file.change)));
    if (!reason.isEmpty())
        line += QStringLiteral("  ") + QString(reason).replace(QLatin1Char('\n'), QStringLiteral("\n      "));
    PrintLine(line);
    for (qsizetype k = 0; k < file.messages.size(); ++k)
    {
        if (k > 0)
            PrintIndented(file.messages[k].text, 6);
        PrintDetail(file.messages[k].detail, k > 0 ? 8 : 6);
    }
}

void PrintBatch(const LedgerBatch& batch)
{
    PrintLine(QStringLiteral("批次 ") + batch.id);
    PrintLine(QStringLiteral("类型 ") + KindText(batch.kind));
    PrintLine(QStringLiteral("开始 ") + LocalTimeText(batch.startedAt) + QStringLiteral("  结束 ") +
              (batch.endedAt.isEmpty() ? QStringLiteral("未结束") : LocalTimeText(batch.endedAt)));
    PrintLine(QStringLiteral("操作员 ") + Operator(batch));
    PrintLine(QStringLiteral("程序版本 ") + OrDash(batch.programVersion) + QStringLiteral("  数据库 ") +
              OrDash(batch.databaseName));
    PrintLine(QStringLiteral("文件%1个: ").arg(batch.listed) + Counts(batch) +
              (batch.notMoved > 0 ? QStringLiteral("  未移走%1").arg(batch.notMoved) : QString()));
}

// The batch an id or its first characters name. Throws CorvaneError when none or several do.
LedgerBatch FindNamedBatch(Database& db, const QString& id)
{
    if (id.size() < 8)
        throw CorvaneError(QStringLiteral("批次号至少要给出前8个字符:") + id);
    if (const std::optional<LedgerBatch> batch = FindBatch(db, id))
        return *batch;
    for (const LedgerBatch& batch : ListBatches(db))
        if (batch.id.startsWith(id))
            throw CorvaneError(QStringLiteral("有多个批次以此开头，请多给出几个字符:") + id);
    throw CorvaneError(QStringLiteral("找不到批次:") + id);
}
} // namespace

int BatchesCommand(Settings& settings, const QStringList& arguments, MessageSink& sink)
{
    LedgerArguments parsed;
    QString problem;
    if (!ParseLedgerArguments(QStringLiteral("batches"), arguments, {QStringLiteral("--last")}, parsed,
                              problem))
        return UsageProblem(problem);
    if (!parsed.others.isEmpty())
        return UsageProblem(QStringLiteral("batches 不接受参数"));
    int last = 0;
    if (parsed.last)
    {
        bool isNumber = false;
        last = parsed.last->toInt(&isNumber);
        if (!isNumber || last <= 0)
            return UsageProblem(QStringLiteral("--last 需要一个正整数"));
    }
    const std::unique_ptr<Database> db = OpenDatabase(settings);
    const QVector<LedgerBatch> batches = ListBatches(*db, last);
    if (batches.isEmpty())
        sink.Show(QStringLiteral("还没有导入批次"));
    for (const LedgerBatch& batch : batches)
        PrintLine(LocalTimeText(batch.startedAt) + QStringLiteral("  ") + KindText(batch.kind) +
                  (batch.endedAt.isEmpty() ? QStringLiteral("（未结束）") : QString()) +
                  QStringLiteral("  ") + Counts(batch) + QStringLiteral("  ") + Operator(batch) +
                  QStringLiteral("  ") + batch.id);
    return 0;
}

int BatchCommand(Settings& settings, const QStringList& arguments, MessageSink& sink)
{
    LedgerArguments parsed;
    QString problem;
    if (!ParseLedgerArguments(
            QStringLiteral("batch"), arguments,
            {QStringLiteral("--failed"), QStringLiteral("--export"), QStringLiteral("--export-per-unit")},
            parsed, problem))
        return UsageProblem(problem);
    if (parsed.others.size() != 1)
        return UsageProblem(QStringLiteral("batch 需要一个批次号"));
    const std::unique_ptr<Database> db = OpenDatabase(settings);
    const LedgerBatch batch = FindNamedBatch(*db, parsed.others.first());
    const QVector<LedgerFile> files = BatchFiles(*db, batch.id);

    PrintBatch(batch);
    for (const LedgerFile& file : files)
        if (!parsed.failed || file.NeedsAction())
            PrintFile(file);

    const QString templatePath = TemplatePath(settings.AppFolder, kResultsTitle);
    if (parsed.exportFile)
    {
        const QString path = QFileInfo(*parsed.exportFile).absoluteFilePath();
        ExportRefusedFiles(batch, files, templatePath, path);
        sink.Show(QStringLiteral("成功写入") + path);
    }
    if (parsed.exportFolder)
    {
        const QStringList paths = ExportRefusedFilesPerUnit(
            batch, files, templatePath, QFileInfo(*parsed.exportFolder).absoluteFilePath());
        if (paths.isEmpty())
            sink.Show(QStringLiteral("该批次没有未能导入的文件"));
        for (const QString& path : paths)
            sink.Show(QStringLiteral("成功写入") + path);
    }
    return 0;
}
