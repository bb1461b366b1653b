#include "cli/Commands.h"
#include "cli/FileArguments.h"

#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "services/MessageSink.h"

#include <cstdio>

namespace
{
int UsageProblem(const QString& problem)
{
    const QByteArray bytes = (problem + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    return 2;
}

template <typename Batch>
int RunBatch(Batch batch, const QString& extension, Settings& settings, const QStringList& arguments,
             MessageSink& sink)
{
    FileList files;
    QString problem;
    if (!FileListFromArguments(arguments, extension, files, problem))
        return UsageProblem(problem);
    if (!files.problem.isEmpty())
    {
        sink.Show(files.problem);
        return 1;
    }
    // A file that failed, or one the batch never reached after a load error, makes the run fail.
    const BatchCounts counts = batch(files, settings, sink);
    return counts.failed == 0 && !counts.stopped ? 0 : 1;
}
} // namespace

int ImportUnitsCommand(Settings& settings, const QStringList& arguments, MessageSink& sink)
{
    return RunBatch(ImportUnitFiles, QStringLiteral("dw"), settings, arguments, sink);
}

int ImportProjectsCommand(Settings& settings, const QStringList& arguments, MessageSink& sink)
{
    return RunBatch(ImportProjectFiles, QStringLiteral("xm"), settings, arguments, sink);
}
