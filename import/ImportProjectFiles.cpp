#include "import/ImportProjectFiles.h"

#include "services/XmlAccess.h"

ProjectDictionaries LoadProjectDictionaries(Database& db, MessageSink& sink)
{
    ProjectDictionaries dictionaries;
    dictionaries.ProjectTypeDict = LoadDictionary(db, QStringLiteral("dic_project_type"),
                                                  QStringLiteral("type"), QStringLiteral("typename"), sink);
    dictionaries.ProjectAttributeDict =
        LoadDictionary(db, QStringLiteral("dic_project_attribute"), QStringLiteral("attribute"),
                       QStringLiteral("attributename"), sink);
    return dictionaries;
}

QString ProjectKey(const XmlNode& root)
{
    return GetNodeText(root, QStringLiteral("//Report/ReportInfo/CorpID")) + QStringLiteral("_") +
           GetNodeText(root, QStringLiteral("//Report/BasicInfo/ProjectID"));
}

BatchCounts ImportProjectFiles(const FileList& files, const Settings& settings, MessageSink& sink)
{
    ProjectDictionaries dictionaries;
    BatchKind kind;
    kind.summaryTitle = QStringLiteral("导入项目信息:操作完成！");
    kind.rootName = QStringLiteral("Report");
    kind.loadDictionaries = [&](Database& db, MessageSink& out)
    { dictionaries = LoadProjectDictionaries(db, out); };
    kind.readKey = ProjectKey;
    kind.importDocument = [&](Database& db, const XmlNode& root, const QString& key, MessageSink& out)
    { return ImportProjectDocument(db, root, key, dictionaries, out); };
    return ImportFiles(files, kind, settings, sink);
}

bool ImportProjectDocument(Database& db, const XmlNode& root, const QString& projectKey,
                           const ProjectDictionaries& dictionaries, MessageSink& sink)
{
    return ImportProjectInfo(db, root, projectKey, dictionaries, sink) &&
           ImportProjectFund(db, root, projectKey, dictionaries, sink) &&
           ImportProjectBudget(db, root, projectKey, dictionaries, sink);
}
