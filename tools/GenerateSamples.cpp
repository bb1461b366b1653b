// corvane-samples: writes a set of sample unit and project files for the demo and benchmarks.
// Exit 0 ok, 1 when a file cannot be written, 2 usage.
#include "services/CorvaneError.h"
#include "tools/SampleData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

namespace
{

int Usage(const QString& problem)
{
    std::fprintf(
        stderr,
        "corvane-samples: %s\nusage: corvane-samples --units N --projects M [--seed S] [--pretty] DIR\n",
        qPrintable(problem));
    return 2;
}

// A count or seed: decimal digits only, within range.
bool ReadNumber(const QString& text, unsigned long long maximum, unsigned long long& value)
{
    bool ok = false;
    value = text.toULongLong(&ok);
    return ok && !text.startsWith(QLatin1Char('+')) && value <= maximum;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);

    unsigned long long units = 0;
    unsigned long long projects = 0;
    unsigned long long seed = 1;
    bool haveUnits = false;
    bool haveProjects = false;
    bool pretty = false;
    QString folder;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--pretty"))
        {
            pretty = true;
            continue;
        }
        if (argument == QLatin1String("--units") || argument == QLatin1String("--projects") ||
            argument == QLatin1String("--seed"))
        {
            if (i + 1 >= arguments.size())
                return Usage(argument + QStringLiteral(" needs a value"));
            const QString& value = arguments[++i];
            const bool isSeed = argument == QLatin1String("--seed");
            unsigned long long& target =
                isSeed ? seed : (argument == QLatin1String("--units") ? units : projects);
            if (!ReadNumber(value, isSeed ? 0xFFFFFFFFull : 1000000ull, target))
                return Usage(QStringLiteral("bad value for %1: %2").arg(argument, value));
            haveUnits |= argument == QLatin1String("--units");
            haveProjects |= argument == QLatin1String("--projects");
            continue;
        }
        if (argument.startsWith(QLatin1String("--")) || !folder.isEmpty())
            return Usage(QStringLiteral("unexpected argument ") + argument);
        folder = argument;
    }
    if (!haveUnits || !haveProjects || folder.isEmpty())
        return Usage(QStringLiteral("--units, --projects and DIR are required"));
    if (projects > 0 && units == 0)
        return Usage(QStringLiteral("projects need at least one unit"));

    QElapsedTimer timer;
    timer.start();
    try
    {
        const SampleSetCounts counts = WriteSampleSet(
            folder, static_cast<int>(units), static_cast<int>(projects), static_cast<unsigned>(seed), pretty);
        std::printf("%d unit files, %d project files, %d companions (seed %llu) in %s, %lld ms\n",
                    counts.units, counts.projects, counts.companions, seed,
                    qPrintable(QDir::toNativeSeparators(QDir(folder).absolutePath())),
                    static_cast<long long>(timer.elapsed()));
        return 0;
    }
    catch (const CorvaneError& error)
    {
        std::fprintf(stderr, "corvane-samples: %s\n", qPrintable(error.Message()));
        return 1;
    }
}
