#include "services/AppFolder.h"

#include "services/Config.h"
#include "services/MessageSink.h"
#include "services/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace
{
const char* const kTemplateTitles[] = {"国家计委汇总表", "十一五资金需求汇总表", "导入结果"};

class SilentSink : public MessageSink
{
public:
    void Show(const QString&) override {}
};

bool HoldsProgramFiles(const QString& folder)
{
    if (QFileInfo::exists(folder + QStringLiteral("config.pz")))
        return true;
    for (const char* title : kTemplateTitles)
        if (QFileInfo::exists(folder + QString::fromUtf8(title) + QStringLiteral(".xls")))
            return true;
    return false;
}
} // namespace

QString ChooseAppFolder(const QString& programFolder, const QString& configHome)
{
    const QString beside = WithTrailingSlash(QDir::fromNativeSeparators(programFolder));
    if (HoldsProgramFiles(beside) || configHome.isEmpty())
        return beside;
    Settings settings;
    settings.AppFolder =
        WithTrailingSlash(QDir::fromNativeSeparators(configHome)) + QStringLiteral("corvane/");
    // A folder that cannot be made leaves config.pz unreadable, and the start says so as for any
    // broken configuration.
    if (QDir().mkpath(settings.AppFolder) &&
        !QFileInfo::exists(settings.AppFolder + QStringLiteral("config.pz")))
    {
        SilentSink silent;
        SaveConfig(settings, silent);
    }
    return settings.AppFolder;
}

QString TemplatePath(const QString& appFolder, const QString& title, const QString& installedFolder)
{
    const QString own = appFolder + title + QStringLiteral(".xls");
    const QString installed = WithTrailingSlash(installedFolder) + title + QStringLiteral(".xls");
    return QFileInfo::exists(own) || !QFileInfo::exists(installed) ? own : installed;
}

QString TemplatePath(const QString& appFolder, const QString& title)
{
    // bin/../share/corvane: /usr/share/corvane/ for the package, and wherever another prefix puts it.
    return TemplatePath(
        appFolder, title,
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/corvane")));
}
