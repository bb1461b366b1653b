#include "import/ImportUnitFiles.h"

#include "services/XmlAccess.h"

UnitDictionaries LoadUnitDictionaries(Database& db, MessageSink& sink)
{
    UnitDictionaries dictionaries;
    dictionaries.CorpTypeDict = LoadDictionary(db, QStringLiteral("dic_corp_type"), QStringLiteral("type"),
                                               QStringLiteral("typename"), sink);
    dictionaries.CorpClassDict = LoadDictionary(db, QStringLiteral("dic_corp_class"), QStringLiteral("class"),
                                                QStringLiteral("classname"), sink);
    dictionaries.DeviceStatusDict =
        LoadDictionary(db, QStringLiteral("dic_device_status"), QStringLiteral("status"),
                       QStringLiteral("statusname"), sink);
    dictionaries.CorpRiscDict = LoadDictionary(db, QStringLiteral("dic_corp_risc"), QStringLiteral("risc"),
                                               QStringLiteral("riscname"), sink);
    return dictionaries;
}

BatchCounts ImportUnitFiles(const FileList& files, const Settings& settings, MessageSink& sink)
{
    UnitDictionaries dictionaries;
    BatchKind kind;
    kind.summaryTitle = QStringLiteral("导入单位信息:操作完成！");
    kind.keyRequired = true;
    kind.rootName = QStringLiteral("CorpInfo");
    kind.loadDictionaries = [&](Database& db, MessageSink& out)
    { dictionaries = LoadUnitDictionaries(db, out); };
    kind.readKey = [](const XmlNode& root)
    { return GetNodeText(root, QStringLiteral("//CorpInfo/Basic/CorpID")); };
    kind.importDocument = [&](Database& db, const XmlNode& root, const QString& key, MessageSink& out)
    { return ImportUnitDocument(db, root, key, dictionaries, out); };
    return ImportFiles(files, kind, settings, sink);
}

bool ImportUnitDocument(Database& db, const XmlNode& root, const QString& unitId,
                        const UnitDictionaries& dictionaries, MessageSink& sink)
{
    return ImportCorpInfo(db, root, unitId, dictionaries, sink) &&
           ImportCorpReserve(db, root, unitId, dictionaries, sink) &&
           ImportCorpSecurity(db, root, unitId, dictionaries, sink) &&
           ImportCorpConstruction(db, root, unitId, dictionaries, sink);
}
