#include "services/Dictionary.h"

#include "services/CorvaneError.h"
#include "services/Database.h"
#include "services/MessageSink.h"

#include <QSqlRecord>

Dictionary LoadDictionary(Database& db, const QString& table, const QString& codeField,
                          const QString& nameField, MessageSink& sink)
{
    Dictionary dictionary;
    dictionary.table = table;
    const auto& columns = db.Columns(table);
    for (const QString& field : {codeField, nameField})
        if (!columns.contains(field.toLower()))
            throw CorvaneError(QStringLiteral("表%1中没有字段%2").arg(table, field));

    QSqlQuery& query =
        db.Execute(QStringLiteral("SELECT %1, %2 FROM %3")
                       .arg(db.QuoteName(codeField), db.QuoteName(nameField), db.QuoteName(table)));
    while (query.next())
    {
        if (dictionary.rows.isEmpty())
            dictionary.rows.append({QString(), QString()});
        // A NULL reads as the empty text, which row 0 already answers for.
        const QString code = query.value(0).toString();
        dictionary.rows.append({code, query.value(1).toString()});
        dictionary.codes.insert(code);
    }
    query.finish();
    if (dictionary.rows.isEmpty())
        sink.Show(QStringLiteral("no record"));
    else
        dictionary.codes.insert(QString());
    return dictionary;
}

bool IsDictionaryCode(const QString& text, const Dictionary& dictionary)
{
    if (!dictionary.IsAllocated())
        throw CorvaneError(QStringLiteral("字典表%1没有记录").arg(dictionary.table));
    return dictionary.codes.contains(text);
}
