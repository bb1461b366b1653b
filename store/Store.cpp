#include "store/Store.h"

#include "services/CorvaneError.h"
#include "services/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

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
            QStringLiteral("dictionaries.sql"), QStringLiteral("views.sql"), QStringLiteral("ledger.sql")};
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

namespace
{
// A saved query as views.sql creates it.
QString ViewStatement(const QString& name)
{
    const QRegularExpression statement(QStringLiteral("CREATE VIEW ") + name +
                                       QStringLiteral(" AS\\b[^;]*;"));
    const QRegularExpressionMatch match = statement.match(StoreScript(QStringLiteral("views.sql")));
    if (!match.hasMatch())
        throw CorvaneError(QStringLiteral("缺少数据库脚本中的查询") + name);
    return match.captured(0);
}

// corpsecurity of earlier versions joined every unit, with or without a security row.
bool HasOutdatedViews(Database& db)
{
    const QString definition =
        db.Kind() == Engine::PostgreSQL
            ? QStringLiteral("SELECT pg_get_viewdef(c.oid) FROM pg_class c WHERE c.relname = 'corpsecurity' "
                             "AND c.relkind = 'v' AND pg_table_is_visible(c.oid)")
            : QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'view' AND name = 'corpsecurity'");
    QSqlQuery& query = db.Execute(definition);
    const bool outdated =
        query.next() && query.value(0).toString().contains(QLatin1String("LEFT JOIN"), Qt::CaseInsensitive);
    query.finish();
    return outdated;
}
// Databases of earlier versions have no import ledger.
bool HasLedger(Database& db)
{
    const QStringList tables = db.Connection().tables(QSql::Tables);
    for (const char* table : {"imp_batch", "imp_file", "imp_message"})
        if (!tables.contains(QLatin1String(table), Qt::CaseInsensitive))
            return false;
    return true;
}

// What an earlier version lacks, under the caller's write lock; the ledger's script creates only
// what is missing.
void BringUpToDate(Database& db, const QString& view)
{
    if (HasOutdatedViews(db))
        db.ExecuteScript(
            db.Kind() == Engine::PostgreSQL
                ? QString(view).replace(QLatin1String("CREATE VIEW"), QLatin1String("CREATE OR REPLACE VIEW"))
                : QStringLiteral("DROP VIEW corpsecurity;\n") + view);
    if (!HasLedger(db))
        db.ExecuteScript(StoreScript(QStringLiteral("ledger.sql")));
}
} // namespace

bool UpgradeDatabase(Database& db)
{
    if (!HasOutdatedViews(db) && HasLedger(db))
        return true;
    const QString view = ViewStatement(QStringLiteral("corpsecurity"));
    if (db.Kind() == Engine::PostgreSQL)
    {
        // Two sessions replacing one view at once fail with "tuple concurrently updated": the
        // second waits for the first here and then finds the view replaced.
        Transaction transaction(db);
        db.Execute(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('corvane-upgrade'))")).finish();
        BringUpToDate(db, view);
        transaction.Commit();
        return true;
    }
    // The write lock keeps a second program from dropping the view the first has just made.
    if (!db.TryBeginWrite())
        return false;
    Transaction transaction(db, Transaction::AlreadyBegun);
    BringUpToDate(db, view);
    transaction.Commit();
    return true;
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
