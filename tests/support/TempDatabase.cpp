#include "support/TempDatabase.h"

#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

Settings WorkingFolders(const QString& root)
{
    Settings settings;
    settings.AppFolder = root + QStringLiteral("app/");
    settings.ImportPath = root + QStringLiteral("in/");
    settings.LocalPath = root + QStringLiteral("local/");
    for (const QString& folder : {settings.AppFolder, settings.ImportPath, settings.LocalPath})
        QDir().mkpath(folder);
    return settings;
}

TempDatabase::TempDatabase()
{
    settings = WorkingFolders(Folder());
    CreateDatabase(settings.LocalPath + QStringLiteral("wenwu.mdb"));
}

QVariant TempDatabase::Scalar(const QString& sql, const QVariantList& values) const
{
    auto db = Open();
    QSqlQuery& query = db->Execute(sql, values);
    const QVariant value = query.next() ? query.value(0) : QVariant();
    query.finish();
    return value;
}

QString TempDatabase::WriteFile(const QString& relativePath, const QByteArray& bytes) const
{
    const QString path = QDir::isAbsolutePath(relativePath) ? relativePath : Folder() + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

QString TempDatabase::Snapshot() const
{
    auto db = Open();
    QStringList tables;
    QSqlQuery& names =
        db->Execute(QStringLiteral("select name from sqlite_master where type = 'table' and name not like "
                                   "'imp\\_%' escape '\\' order by name"));
    while (names.next())
        tables.append(names.value(0).toString());
    names.finish();
    QString text;
    for (const QString& table : tables)
    {
        text += table + QLatin1Char('\n');
        QSqlQuery rows(db->Connection());
        rows.exec(QStringLiteral("select * from ") + db->QuoteName(table));
        QStringList lines;
        while (rows.next())
        {
            QString line;
            for (int i = 0; i < rows.record().count(); ++i)
                line += (rows.value(i).isNull() ? QStringLiteral("NULL") : rows.value(i).toString()) +
                        QLatin1Char('|');
            lines.append(line);
        }
        lines.sort();
        text += lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    return text;
}
