#include "services/FieldCopy.h"

#include "services/Dictionary.h"
#include "services/Record.h"
#include "services/XmlAccess.h"

void CopyField(const XmlNode& node, const QString& xpath, Record& record, const QString& field,
               const std::optional<QVariant>& defaultValue)
{
    const QString text = GetNodeText(node, xpath);
    if (!text.isEmpty() || !defaultValue)
        record.SetText(field, text);
    else
        record.SetValue(field, *defaultValue);
}

void CopyCodedField(const XmlNode& node, const QString& xpath, Record& record, const QString& field,
                    const Dictionary& dictionary, const std::optional<QVariant>& defaultValue)
{
    const QString text = GetNodeText(node, xpath);
    if (IsDictionaryCode(text, dictionary) || !defaultValue)
        record.SetText(field, text);
    else
        record.SetValue(field, *defaultValue);
}
