#include "import/SectionGuard.h"

#include "services/Database.h"
#include "services/Dictionary.h"
#include "services/FieldCopy.h"
#include "services/Record.h"
#include "services/XmlAccess.h"

#include <optional>

namespace
{
// The element as the reporting unit knows it: "//Report/FundDemand/Investment/State" is
// "FundDemand/Investment/State".
QString ElementOf(const QString& xpath)
{
    QStringView path(xpath);
    while (path.startsWith(u'/'))
        path = path.mid(1);
    const qsizetype slash = path.indexOf(u'/');
    return (slash < 0 ? path : path.mid(slash + 1)).toString();
}

template <typename Step> auto AtElement(const QString& xpath, Step&& step)
{
    try
    {
        return step();
    }
    catch (const ValueRefused& refused)
    {
        throw refused.At(ElementOf(xpath));
    }
}
} // namespace

void SectionGuard::Fail(const QString& description, const MessageDetail& detail)
{
    m_result = false;
    const QString text = m_prefix + m_id + QStringLiteral("信息失败:") +
                         (description.isEmpty() ? QStringLiteral("未知错误") : description);
    if (detail.element.isEmpty())
        m_sink.Show(text);
    else
        m_sink.ShowAbout(text, detail);
}

void CopyMapping(const XmlNode& root, const FieldMapping& mapping, Record& record)
{
    AtElement(mapping.xpath,
              [&]
              {
                  if (mapping.dictionary)
                      CopyCodedField(root, mapping.xpath, record, mapping.column, *mapping.dictionary);
                  else
                      CopyField(root, mapping.xpath, record, mapping.column);
              });
}

QVariant MappingValue(const XmlNode& root, const FieldMapping& mapping, ColumnKind kind)
{
    const QString text = GetNodeText(root, mapping.xpath);
    // Without a default a coded copy stores what it read, code or not; the check still refuses
    // an unallocated dictionary.
    if (mapping.dictionary)
        IsDictionaryCode(text, *mapping.dictionary);
    return AtElement(mapping.xpath, [&] { return ColumnValue(mapping.column, kind, text); });
}

bool ImportSingleRecord(Database& db, const XmlNode& root, const QString& table, const QString& keyColumn,
                        std::span<const FieldMapping> mappings, SectionGuard& guard)
{
    std::optional<Record> record;
    if (!guard.Run([&] { record.emplace(Record::FindOrAdd(db, table, keyColumn, guard.Id())); }))
        return false;
    for (const FieldMapping& mapping : mappings)
        guard.Run([&] { CopyMapping(root, mapping, *record); });
    guard.Run([&] { record->Update(); });
    return guard.Result();
}

QStringList PathsOf(std::span<const FieldMapping> mappings)
{
    QStringList paths;
    for (const FieldMapping& mapping : mappings)
        paths.append(mapping.xpath);
    return paths;
}
