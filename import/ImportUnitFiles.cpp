#include "import/ImportUnitFiles.h"

#include "services/XmlAccess.h"

template <>
std::span<const SectionedKind<UnitDictionaries>::Section> SectionedKind<UnitDictionaries>::Sections()
{
    static constexpr Section kSections[] = {{ImportCorpInfo, CorpInfoPaths},
                                            {ImportCorpReserve, CorpReservePaths},
                                            {ImportCorpSecurity, CorpSecurityPaths},
                                            {ImportCorpConstruction, CorpConstructionPaths}};
    return kSections;
}

namespace
{
const QString kCorpIdPath = QStringLiteral("//CorpInfo/Basic/CorpID");

class UnitBatch : public SectionedKind<UnitDictionaries>
{
public:
    QString SummaryTitle() const override { return QStringLiteral("导入单位信息:操作完成！"); }
    bool KeyRequired() const override { return true; }
    QString RootName() const override { return QStringLiteral("CorpInfo"); }
    void LoadDictionaries(Database& db, MessageSink& sink) override
    {
        m_dictionaries = LoadUnitDictionaries(db, sink);
    }
    QString ReadKey(const XmlNode& root) const override { return GetNodeText(root, kCorpIdPath); }
    QString UnitOf(const XmlNode&, const QString& key) const override { return key; }
    std::pair<QString, QString> KeyColumn() const override
    {
        return {QStringLiteral("dat_corp_info"), QStringLiteral("corpid")};
    }
    QStringList Paths() const override { return QStringList{kCorpIdPath} + SectionPaths(); }
};
} // namespace

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
    UnitBatch kind;
    return ImportFiles(files, kind, settings, sink);
}

bool ImportUnitDocument(Database& db, const XmlNode& root, const QString& unitId,
                        const UnitDictionaries& dictionaries, MessageSink& sink)
{
    return SectionedKind<UnitDictionaries>::RunSections(db, root, unitId, dictionaries, sink);
}
