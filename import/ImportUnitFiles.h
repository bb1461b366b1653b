#pragma once

#include "import/FileList.h"
#include "import/ImportBatch.h"
#include "services/Dictionary.h"

class Database;
class MessageSink;
struct Settings;
struct XmlNode;

// The four unit dictionaries, reloaded at the start of every unit batch.
struct UnitDictionaries
{
    Dictionary CorpTypeDict;
    Dictionary CorpClassDict;
    Dictionary DeviceStatusDict;
    Dictionary CorpRiscDict;
};

// The kind's sections, in the order a document runs them.
template <>
std::span<const SectionedKind<UnitDictionaries>::Section> SectionedKind<UnitDictionaries>::Sections();

// Loads dic_corp_type, dic_corp_class, dic_device_status and dic_corp_risc, in this order.
UnitDictionaries LoadUnitDictionaries(Database& db, MessageSink& sink);

// Imports a batch of unit files (.dw) and shows "导入单位信息:操作完成！" with the counts.
BatchCounts ImportUnitFiles(const FileList& files, const Settings& settings, MessageSink& sink);

// Runs ImportCorpInfo, ImportCorpReserve, ImportCorpSecurity, ImportCorpConstruction in this
// order, stopping at the first that fails.
bool ImportUnitDocument(Database& db, const XmlNode& root, const QString& unitId,
                        const UnitDictionaries& dictionaries, MessageSink& sink);

// The unit section importers: each writes one table, shows "导入单位" + id + "信息失败:" +
// description for each failed step, and returns false when any step failed.
bool ImportCorpInfo(Database& db, const XmlNode& root, const QString& unitId,
                    const UnitDictionaries& dictionaries, MessageSink& sink);
bool ImportCorpReserve(Database& db, const XmlNode& root, const QString& unitId,
                       const UnitDictionaries& dictionaries, MessageSink& sink);
bool ImportCorpSecurity(Database& db, const XmlNode& root, const QString& unitId,
                        const UnitDictionaries& dictionaries, MessageSink& sink);
bool ImportCorpConstruction(Database& db, const XmlNode& root, const QString& unitId,
                            const UnitDictionaries& dictionaries, MessageSink& sink);

// The absolute paths each section reads.
QStringList CorpInfoPaths();
QStringList CorpReservePaths();
QStringList CorpSecurityPaths();
QStringList CorpConstructionPaths();
