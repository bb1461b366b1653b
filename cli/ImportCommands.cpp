#include "cli/Commands.h"
#include "cli/FileArguments.h"

#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "services/MessageSink.h"

#include <csignal>
#include <cstdio>

namespace
{
volatile std::sig_atomic_t interrupted = 0;

extern "C" void NoteInterrupt(int)
{
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL); // a second Ctrl-C ends the program at once
}

// The first Ctrl-C stops the batch after the file in hand, its rows committed and its file moved,
// as the window's cancel button does.
class InterruptibleSink : public MessageSink
{
public:
    explicit InterruptibleSink(MessageSink& sink) : m_sink(sink)
    {
        interrupted = 0;
        m_previous = std::signal(SIGINT, NoteInterrupt);
    }
    ~InterruptibleSink() override { std::signal(SIGINT, m_previous); }
    InterruptibleSink(const InterruptibleSink&) = delete;
    InterruptibleSink& operator=(const InterruptibleSink&) = delete;

    void Show(const QString& text) override { m_sink.Show(text); }
    void Progress(const QString& step, int done, int total) override { m_sink.Progress(step, done, total); }
    bool Cancelled() override { return interrupted != 0 || m_sink.Cancelled(); }

private:
    MessageSink& m_sink;
    void (*m_previous)(int);
};

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
    // A file that failed, or one the batch never reached after a load error or a Ctrl-C, makes
    // the run fail.
    InterruptibleSink interruptible(sink);
    const BatchCounts counts = batch(files, settings, interruptible);
    // The ledger's id, for `batch ID` later.
    if (!counts.batchId.isEmpty())
        sink.Show(QStringLiteral("批次 ") + counts.batchId);
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
