#include "import/ImportProjectFiles.h"

#include "import/SectionGuard.h"

#include <array>

namespace
{
auto Mappings(const ProjectDictionaries& dictionaries)
{
    // The unit id is kept beside the key as corpid: it links the project to its unit's row.
    return std::to_array<FieldMapping>({
        {QStringLiteral("//Report/ReportInfo/CorpID"), QStringLiteral("corpid")},
        {QStringLiteral("//Report/BasicInfo/ProjectName"), QStringLiteral("name")},
        {QStringLiteral("//Report/BasicInfo/PreserveContent"), QStringLiteral("preserve")},
        {QStringLiteral("//Report/BasicInfo/CurrentProblem"), QStringLiteral("problem")},
        {QStringLiteral("//Report/BasicInfo/ProjectContent"), QStringLiteral("content")},
        {QStringLiteral("//Report/BasicInfo/Remark"), QStringLiteral("remark")},
        {QStringLiteral("//Report/ReportInfo/ReportDate"), QStringLiteral("reportdate")},
        {QStringLiteral("//Report/BasicInfo/SalvageItem/NewDepotArea"), QStringLiteral("newdepotarea")},
        {QStringLiteral("//Report/BasicInfo/SalvageItem/ProtectionContent"),
         QStringLiteral("protectioncontent")},
        {QStringLiteral("//Report/BasicInfo/SalvageItem/RelicProtectionArea"), QStringLiteral("rparea")},
        {QStringLiteral("//Report/BasicInfo/SalvageItem/RelicProtectionContent"),
         QStringLiteral("rpcontent")},
        {QStringLiteral("//Report/BasicInfo/AssitantItem/ProtectionArea"), QStringLiteral("protectionarea")},
        {QStringLiteral("//Report/BasicInfo/ProjectType"), QStringLiteral("type"),
         &dictionaries.ProjectTypeDict},
        {QStringLiteral("//Report/BasicInfo/ProjectAttribute"), QStringLiteral("attribute"),
         &dictionaries.ProjectAttributeDict},
    });
}
} // namespace

bool ImportProjectInfo(Database& db, const XmlNode& root, const QString& projectKey,
                       const ProjectDictionaries& dictionaries, MessageSink& sink)
{
    SectionGuard guard(QStringLiteral("导入项目"), projectKey, sink);
    return ImportSingleRecord(db, root, QStringLiteral("dat_project_info"), QStringLiteral("projectid"),
                              Mappings(dictionaries), guard);
}

QStringList ProjectInfoPaths()
{
    return PathsOf(Mappings(ProjectDictionaries()));
}
