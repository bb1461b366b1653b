#include "import/ImportProjectFiles.h"

#include "services/XmlAccess.h"

template <>
std::span<const SectionedKind<ProjectDictionaries>::Section> SectionedKind<ProjectDictionaries>::Sections()
{
    static constexpr Section kSections[] = {{ImportProjectInfo, ProjectInfoPaths},
                                            {ImportProjectFund, ProjectFundPaths},
                                            {ImportProjectBudget, ProjectBudgetPaths}};
    return kSections;
}

namespace
{
const QString kCorpIdPath = QStringLiteral("//Report/ReportInfo/CorpID");
const QString kProjectIdPath = QStringLiteral("//Report/BasicInfo/ProjectID");

class ProjectBatch : public SectionedKind<ProjectDictionaries>
{
public:
    QString SummaryTitle() const override { return QStringLiteral("导入项目信息:操作完成！"); }
    bool KeyRequired() const override { return false; }
    QString RootName() const override { return QStringLiteral("Report"); }
    void LoadDictionaries(Database& db, MessageSink& sink) override
    {
        m_dictionaries = LoadProjectDictionaries(db, sink);
    }
    QString ReadKey(const XmlNode& root) const override { return ProjectKey(root); }
    QString UnitOf(const XmlNode& root, const QString&) const override
    {
        return GetNodeText(root, kCorpIdPath);
    }
    std::pair<QString, QString> KeyColumn() const override
    {
        return {QStringLiteral("dat_project_info"), QStringLiteral("projectid")};
    }
    QStringList Paths() const override { return QStringList{kCorpIdPath, kProjectIdPath} + SectionPaths(); }
};
} // namespace

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
    return GetNodeText(root, kCorpIdPath) + QStringLiteral("_") + GetNodeText(root, kProjectIdPath);
}

BatchCounts ImportProjectFiles(const FileList& files, const Settings& settings, MessageSink& sink)
{
    ProjectBatch kind;
    return ImportFiles(files, kind, settings, sink);
}

bool ImportProjectDocument(Database& db, const XmlNode& root, const QString& projectKey,
                           const ProjectDictionaries& dictionaries, MessageSink& sink)
{
    return SectionedKind<ProjectDictionaries>::RunSections(db, root, projectKey, dictionaries, sink);
}
