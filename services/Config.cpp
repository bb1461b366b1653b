#include "services/Config.h"

#include "services/MessageSink.h"
#include "services/Settings.h"
#include "services/XmlAccess.h"

namespace
{
const char kTemplate[] =
    R"(<?xml version="1.0" encoding="GB2312" standalone="yes"?><Config><ImportPath/><LocalPath/><DataSource/></Config>)";
}

void LoadConfig(Settings& settings, MessageSink& sink)
{
    XmlDocument doc = LoadXmlFile(settings.AppFolder + QStringLiteral("config.pz"));
    if (!GetXmlError().isEmpty())
    {
        sink.Show(QStringLiteral("配置文件错误，请重新配置"));
        return;
    }
    const XmlNode root = doc.Root();
    settings.ImportPath = WithTrailingSlash(GetNodeText(root, QStringLiteral("//Config/ImportPath")));
    settings.LocalPath = WithTrailingSlash(GetNodeText(root, QStringLiteral("//Config/LocalPath")));
    settings.DataSource = GetNodeText(root, QStringLiteral("//Config/DataSource"));
}

void SaveConfig(const Settings& settings, MessageSink& sink)
{
    XmlDocument doc;
    doc.ParseText(QByteArray(kTemplate));
    const XmlNode root = doc.Root();
    SetNodeText(root, QStringLiteral("//Config/ImportPath"), settings.ImportPath);
    SetNodeText(root, QStringLiteral("//Config/LocalPath"), settings.LocalPath);
    SetNodeText(root, QStringLiteral("//Config/DataSource"), settings.DataSource);
    if (!SaveXmlFile(doc, settings.AppFolder + QStringLiteral("config.pz")))
        sink.Show(QStringLiteral("保存参数失败") + GetXmlError());
}
