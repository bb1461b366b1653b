#include "cli/Commands.h"

#include "reports/GenerateReports.h"

#include <cstdio>

int ReportsCommand(Settings& settings, const QStringList& arguments, MessageSink& sink)
{
    if (!arguments.isEmpty())
    {
        std::fputs("reports 不接受参数\n", stderr);
        return 2;
    }
    // A failure throws; the command line shows it and exits 1.
    GenerateReports(settings, sink);
    return 0;
}
