#include "store/Store.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString StoreScript(const QString& name)
{
    Q_INIT_RESOURCE(store);
    QFile file(QStringLiteral(":/store/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw CorvaneError(QStringLiteral("缺少数据库脚本") + name);
    return QString::fromUtf8(file.readAll());
}

void CreateDatabase(const QString& path)
{
    if (QFileInfo::exists(path))
        throw CorvaneError(QStringLiteral("数据库文件已存在，不会覆盖:") + path);
    if (!QFileInfo(path).absoluteDir().exists())
        throw CorvaneError(QStringLiteral("文件夹不存在:") + QFileInfo(path).absolutePath());

    // Built under a temporary name and renamed, so a failure never leaves a half-made database.
    const QString temporary = path + QStringLiteral(".creating");
    QFile::remove(temporary);
    try
    {
        Database db(QStringLiteral("QSQLITE"), temporary);
        Transaction transaction(db);
        for (const char* script : {"schema.sql", "dictionaries.sql", "views.sql"})
            db.ExecuteScript(StoreScript(QString::fromLatin1(script)));
        transaction.Commit();
    }
    catch (...)
    {
        QFile::remove(temporary);
        throw;
    }
    if (!QFile::rename(temporary, path))
    {
        QFile::remove(temporary);
        throw CorvaneError(QStringLiteral("无法创建数据库文件:") + path);
    }
}
