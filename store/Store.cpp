#include "store/Store.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

QString StoreScript(const QString& name)
{
    Q_INIT_RESOURCE(store);
    QFile file(QStringLiteral(":/store/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw CorvaneError(QStringLiteral("缺少数据库脚本") + name);
    return QString::fromUtf8(file.readAll());
}

QStringList StoreScripts(Engine engine)
{
    return {engine == Engine::PostgreSQL ? QStringLiteral("schema-postgresql.sql")
                                         : QStringLiteral("schema.sql"),
            QStringLiteral("dictionaries.sql"), QStringLiteral("views.sql")};
}

QStringList StoreTables()
{
    static const QRegularExpression kCreateTable(QStringLiteral("CREATE TABLE (\\w+)"));
    QStringList tables;
    for (const QRegularExpressionMatch& match :
         kCreateTable.globalMatch(StoreScript(QStringLiteral("schema.sql"))))
        tables.append(match.captured(1));
    return tables;
}

void CreateServerDatabase(const QString& uri)
{
    Database db(ServerTarget(uri));
    const QStringList present = db.Connection().tables(QSql::Tables);
    for (const QString& table : StoreTables())
        if (present.contains(table, Qt::CaseInsensitive))
            throw CorvaneError(QStringLiteral("数据库中已有表") + table + QStringLiteral("，不会覆盖:") +
                               uri);
    // The server changes its tables inside a transaction too: a failure leaves nothing behind.
    Transaction transaction(db);
    for (const QString& script : StoreScripts(Engine::PostgreSQL))
        db.ExecuteScript(StoreScript(script));
    transaction.Commit();
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
        // Named in messages by the file the operator asked for.
        ConnectionTarget target;
        target.driver = QStringLiteral("QSQLITE");
        target.databaseName = temporary;
        target.shownName = path;
        Database db(target);
        Transaction transaction(db);
        for (const QString& script : StoreScripts(Engine::SQLite))
            db.ExecuteScript(StoreScript(script));
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
