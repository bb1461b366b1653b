#pragma once

#include <QString>
#include <QVariant>

#include <optional>

struct XmlNode;
class Record;
struct Dictionary;

// Copies the trimmed text of the first node the XPath matches into a field. An empty or
// missing value stores the default when one is given, else the empty text (NULL in a
// non-text column). A refused value throws CorvaneError and leaves the field as it was.
void CopyField(const XmlNode& node, const QString& xpath, Record& record, const QString& field,
               const std::optional<QVariant>& defaultValue = std::nullopt);

// As CopyField, for a code of a dictionary: a text that is a code (the empty text included)
// is stored; one that is not is stored as read without a default, else the default.
// Throws CorvaneError when the dictionary is unallocated.
void CopyCodedField(const XmlNode& node, const QString& xpath, Record& record, const QString& field,
                    const Dictionary& dictionary, const std::optional<QVariant>& defaultValue = std::nullopt);
