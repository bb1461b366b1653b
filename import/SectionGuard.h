#pragma once

#include "services/CorvaneError.h"
#include "services/MessageSink.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <span>

class Database;
class Record;
enum class ColumnKind;
struct Dictionary;
struct XmlNode;

// The error rule every section importer shares: a guarded step that fails shows
// prefix + id + "信息失败:" + that step's own description, makes the result false, and the
// section goes on with its next step.
class SectionGuard
{
public:
    SectionGuard(const QString& prefix, const QString& id, MessageSink& sink)
        : m_prefix(prefix), m_id(id), m_sink(sink)
    {
    }

    // Runs one step; false when it failed (and was reported).
    template <typename Step> bool Run(Step&& step)
    {
        try
        {
            step();
            return true;
        }
        catch (const ValueRefused& refused)
        {
            Fail(refused.Message(), {refused.Element(), refused.Value()});
            return false;
        }
        catch (const CorvaneError& error)
        {
            Fail(error.Message());
            return false;
        }
        catch (const std::exception& error)
        {
            // A section never lets an error escape to the batch.
            Fail(QString::fromLocal8Bit(error.what()));
            return false;
        }
    }

    // Reports one failed step; an empty description is replaced, so no message ends bare. detail:
    // the element and value of the file the step refused, if any.
    void Fail(const QString& description, const MessageDetail& detail = {});
    bool Result() const { return m_result; }
    const QString& Id() const { return m_id; }

private:
    QString m_prefix;
    QString m_id;
    MessageSink& m_sink;
    bool m_result = true;
};

// One column of a section: the element's absolute path, the column, and the dictionary of a
// coded copy (none for a plain copy). Copies never pass a default here.
struct FieldMapping
{
    QString xpath;
    QString column;
    const Dictionary* dictionary = nullptr;
};

// The single-record import: finds the row of table whose keyColumn is id, or adds it with the
// key set; copies every mapping in order; saves. A find that fails is reported once and ends the
// section; a refused copy is reported and leaves that column as it was. Returns guard.Result().
bool ImportSingleRecord(Database& db, const XmlNode& root, const QString& table, const QString& keyColumn,
                        std::span<const FieldMapping> mappings, SectionGuard& guard);

// The absolute paths of the mappings, in order.
QStringList PathsOf(std::span<const FieldMapping> mappings);

// Copies one mapping into the record: CopyCodedField when it has a dictionary, else CopyField. A
// refused value throws ValueRefused naming the mapping's element.
void CopyMapping(const XmlNode& root, const FieldMapping& mapping, Record& record);

// The value one mapping gives a column of this kind, converted as CopyMapping converts it, for
// rows written without a record. Throws CorvaneError for a refused value or an unallocated
// dictionary; ValueRefused names the mapping's element.
QVariant MappingValue(const XmlNode& root, const FieldMapping& mapping, ColumnKind kind);
