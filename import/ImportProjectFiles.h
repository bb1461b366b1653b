#pragma once

#include "import/FileList.h"
#include "import/ImportBatch.h"
#include "services/Dictionary.h"

class Database;
class MessageSink;
struct Settings;
struct XmlNode;

// The two project dictionaries, reloaded at the start of every project batch.
struct ProjectDictionaries
{
    Dictionary ProjectTypeDict;
    Dictionary ProjectAttributeDict;
};

// The kind's sections, in the order a document runs them.
template <>
std::span<const SectionedKind<ProjectDictionaries>::Section> SectionedKind<ProjectDictionaries>::Sections();

// Loads dic_project_type and dic_project_attribute, in this order.
ProjectDictionaries LoadProjectDictionaries(Database& db, MessageSink& sink);

// The key of a project file: its unit id, "_", its project id ("_" when both are missing).
QString ProjectKey(const XmlNode& root);

// Imports a batch of project files (.xm) and shows "导入项目信息:操作完成！" with the counts.
BatchCounts ImportProjectFiles(const FileList& files, const Settings& settings, MessageSink& sink);

// Runs ImportProjectInfo, ImportProjectFund, ImportProjectBudget in this order, stopping at the
// first that fails.
bool ImportProjectDocument(Database& db, const XmlNode& root, const QString& projectKey,
                           const ProjectDictionaries& dictionaries, MessageSink& sink);

// The project section importers: each shows "导入项目" + key + "信息失败:" + description for each
// failed step and returns false when any step failed.
bool ImportProjectInfo(Database& db, const XmlNode& root, const QString& projectKey,
                       const ProjectDictionaries& dictionaries, MessageSink& sink);
bool ImportProjectFund(Database& db, const XmlNode& root, const QString& projectKey,
                       const ProjectDictionaries& dictionaries, MessageSink& sink);
bool ImportProjectBudget(Database& db, const XmlNode& root, const QString& projectKey,
                         const ProjectDictionaries& dictionaries, MessageSink& sink);

// The absolute paths each section reads.
QStringList ProjectInfoPaths();
QStringList ProjectFundPaths();
QStringList ProjectBudgetPaths();
