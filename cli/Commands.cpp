#include "cli/Commands.h"

#include "services/Config.h"
#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/MessageSink.h"
#include "services/Settings.h"
#include "store/Store.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <utility>

namespace
{
class PrintSink : public MessageSink
{
public:
    void Show(const QString& text) override
    {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

struct Command
{
    const char* name;
    CommandRoutine routine;
    const char* usage;
};

const Command kCommands[] = {
    {"init-db", InitDbCommand,
     "init-db [DIR]                     新建数据库 DIR/wenwu.mdb (默认 LocalPath) 或服务器上的表"},
    {"import-units", ImportUnitsCommand, "import-units FILE...|DIR         导入单位信息文件 (*.dw)"},
    {"import-projects", ImportProjectsCommand, "import-projects FILE...|DIR      导入项目信息文件 (*.xm)"},
    {"reports", ReportsCommand, "reports                           生成两个统计报表 (LocalPath)"},
    {"batches", BatchesCommand, "batches [--last N]                列出导入批次，最新的在前"},
    {"batch", BatchCommand,
     "batch ID [--failed] [--export FILE.xls] [--export-per-unit DIR]\n"
     "                                    显示一个批次的文件 (ID 可只给前8个字符)；导出未能导入的文件"},
};

// Options of single commands, passed on to them wherever they stand; true when a value follows.
const std::pair<const char*, bool> kCommandOptions[] = {
    {"--last", true},
    {"--failed", false},
    {"--export", true},
    {"--export-per-unit", true},
};

QString UsageText()
{
    QString text = QStringLiteral(
        "用法: corvane-cli [--app-folder DIR] [--local-path DIR] [--data-source URI] 命令 [参数]\n"
        "      corvane-cli --help | --version\n命令:\n");
    for (const Command& command : kCommands)
        text += QStringLiteral("  ") + QString::fromUtf8(command.usage) + QLatin1Char('\n');
    return text;
}

void Print(const QString& text, FILE* stream)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int Usage(const QString& problem)
{
    Print((problem.isEmpty() ? QString() : problem + QLatin1Char('\n')) + UsageText(), stderr);
    return 2;
}

QString AbsoluteFolder(const QString& folder)
{
    return WithTrailingSlash(QDir::fromNativeSeparators(QFileInfo(folder).absoluteFilePath()));
}
} // namespace

int RunCommandLine(const QStringList& arguments, const QString& programFolder)
{
    QString appFolder = programFolder;
    QString localPath;
    bool localPathGiven = false;
    std::optional<QString> dataSource;
    // Options may stand before or after the command, as GNU tools allow; "--" ends them.
    QStringList rest;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
        {
            rest.append(argument);
            continue;
        }
        if (argument == QLatin1String("--"))
        {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
        {
            Print(UsageText(), stdout);
            return 0;
        }
        if (argument == QLatin1String("--version"))
        {
            Print(QStringLiteral("corvane-cli ") + QLatin1String(CORVANE_VERSION) + QLatin1Char('\n'),
                  stdout);
            return 0;
        }
        if (argument == QLatin1String("--app-folder") || argument == QLatin1String("--local-path"))
        {
            if (i + 1 >= arguments.size())
                return Usage(argument + QStringLiteral(" 需要一个文件夹"));
            (argument == QLatin1String("--app-folder") ? appFolder : localPath) = arguments[++i];
            localPathGiven = localPathGiven || argument == QLatin1String("--local-path");
            continue;
        }
        if (argument == QLatin1String("--data-source"))
        {
            if (i + 1 >= arguments.size())
                return Usage(argument + QStringLiteral(" 需要一个数据源"));
            dataSource = arguments[++i];
            continue;
        }
        const auto commandOption =
            std::find_if(std::begin(kCommandOptions), std::end(kCommandOptions),
                         [&](const auto& option) { return argument == QLatin1String(option.first); });
        if (commandOption != std::end(kCommandOptions))
        {
            rest.append(argument);
            if (commandOption->second && i + 1 < arguments.size())
                rest.append(arguments[++i]);
            continue;
        }
        return Usage(QStringLiteral("未知选项 (unknown option): ") + argument);
    }
    if (rest.isEmpty())
        return Usage(QStringLiteral("缺少命令"));

    const Command* command = nullptr;
    for (const Command& candidate : kCommands)
        if (rest.first() == QLatin1String(candidate.name))
            command = &candidate;
    if (!command)
        return Usage(QStringLiteral("未知命令: ") + rest.first());

    PrintSink sink;
    Settings settings;
    settings.AppFolder = AbsoluteFolder(appFolder);
    LoadConfig(settings, sink);
    if (localPathGiven)
        settings.LocalPath = AbsoluteFolder(localPath);
    if (dataSource)
        settings.DataSource = *dataSource;
    try
    {
        return command->routine(settings, rest.mid(1), sink);
    }
    catch (const CorvaneError& error)
    {
        sink.Show(error.Message());
        return 1;
    }
}

int InitDbCommand(Settings& settings, const QStringList& arguments, MessageSink& sink)
{
    if (arguments.size() > 1)
        return Usage(QStringLiteral("init-db 只接受一个文件夹"));
    if (IsServerDataSource(settings.DataSource))
    {
        if (!arguments.isEmpty())
            return Usage(QStringLiteral("init-db 在服务器上建表时不接受文件夹"));
        CreateServerDatabase(settings.DataSource);
        sink.Show(QStringLiteral("已在数据库中建表:") + ServerTarget(settings.DataSource).shownName);
        return 0;
    }
    const QString folder = arguments.isEmpty() ? settings.LocalPath : AbsoluteFolder(arguments.first());
    if (folder.isEmpty())
        return Usage(QStringLiteral("未指定文件夹: 请给出 DIR 或 --local-path"));
    const QString path = folder + QStringLiteral("wenwu.mdb");
    CreateDatabase(path);
    sink.Show(QStringLiteral("已创建数据库") + path);
    return 0;
}
