#include "ExternalReaders.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
const QString kPython = "/usr/bin/python3";
} // namespace

bool HaveXlrd()
{
    return QProcess::execute(kPython, {"-c", "import xlrd"}) == 0;
}

bool HaveSsconvert()
{
    return !QStandardPaths::findExecutable("ssconvert").isEmpty();
}

QJsonObject ReadWithXlrd(const QStringList& files)
{
    QProcess process;
    process.start(kPython, QStringList{CORVANE_XLRD_SCRIPT} + files);
    process.waitForFinished(120000);
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

QStringList ConvertWithSsconvert(const QStringList& files, const QString& outputFolder,
                                 const QList<int>& sheetCounts)
{
    // One ssconvert per file, both cores busy.
    std::vector<std::unique_ptr<QProcess>> processes;
    QStringList problems;
    for (int i = 0; i < files.size(); ++i)
    {
        const QString folder = outputFolder + "/" + QString::number(i);
        QDir().mkpath(folder);
        auto process = std::make_unique<QProcess>();
        process->start("ssconvert", {"-S", files[i], folder + "/sheet_%n.csv"});
        processes.push_back(std::move(process));
    }
    for (int i = 0; i < files.size(); ++i)
    {
        QProcess& process = *processes[size_t(i)];
        process.waitForFinished(120000);
        const QString errors = QString::fromUtf8(process.readAllStandardError()).trimmed();
        if (process.exitCode() != 0 || !errors.isEmpty())
            problems << QFileInfo(files[i]).fileName() + ": " + errors;
        for (int sheet = 0; sheet < sheetCounts.value(i); ++sheet)
            if (!QFileInfo::exists(outputFolder + "/" + QString::number(i) + "/sheet_" +
                                   QString::number(sheet) + ".csv"))
                problems << QFileInfo(files[i]).fileName() + ": no CSV of sheet " + QString::number(sheet);
    }
    return problems;
}

QString FindSoffice()
{
    return QStandardPaths::findExecutable("soffice");
}

QStringList ConvertWithLibreOffice(const QStringList& files, const QString& filter,
                                   const QString& outputFolder, const QString& profileFolder,
                                   const QString& outputSuffix)
{
    const auto missing = [&]
    {
        QStringList left;
        for (const QString& file : files)
            if (!QFileInfo::exists(outputFolder + "/" + QFileInfo(file).completeBaseName() + outputSuffix))
                left << file;
        return left;
    };
    QString errors;
    QStringList left = files;
    for (int attempt = 1; attempt <= 2 && !left.isEmpty(); ++attempt)
    {
        if (attempt == 2)
            std::printf("LibreOffice failed on its first try (%s); trying once more\n", qPrintable(errors));
        QProcess process;
        process.start(FindSoffice(),
                      QStringList{"-env:UserInstallation=file://" + profileFolder, "--headless",
                                  "--convert-to", filter, "--outdir", outputFolder} +
                          left);
        process.waitForFinished(120000);
        errors = QString::fromUtf8(process.readAllStandardError()).simplified();
        left = missing();
    }
    for (QString& file : left)
        file = QFileInfo(file).fileName() + ": " + errors;
    return left;
}
