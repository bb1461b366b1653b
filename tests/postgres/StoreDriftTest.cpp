#include "services/CorvaneError.h"
#include "services/Database.h"
#include "store/Store.h"
#include "support/ServerDatabase.h"
#include "support/TempDatabase.h"

#include <QProcess>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
QString KindName(ColumnKind kind)
{
    switch (kind)
    {
    case ColumnKind::Integer:
        return QStringLiteral("integer");
    case ColumnKind::Real:
        return QStringLiteral("real");
    case ColumnKind::Text:
        break;
    }
    return QStringLiteral("text");
}

QStringList Values(Database& db, const QString& sql, const QVariantList& values)
{
    QStringList lines;
    QSqlQuery& query = db.Execute(sql, values);
    while (query.next())
        lines.append(query.value(0).toString());
    query.finish();
    return lines;
}

// A key column of an index by name; an expression as "expr".
QStringList Indexes(Database& db, const QString& table)
{
    QStringList lines =
        db.Kind() == Engine::PostgreSQL
            ? Values(db,
                     "SELECT c.relname || CASE WHEN ix.indisunique THEN ' unique' ELSE '' END || ' (' || "
                     "(SELECT string_agg(CASE WHEN k.n = 0 THEN 'expr' ELSE a.attname END, ',' ORDER BY k.o) "
                     "FROM unnest(ix.indkey) WITH ORDINALITY AS k(n, o) LEFT JOIN pg_attribute a "
                     "ON a.attrelid = ix.indrelid AND a.attnum = k.n) || ')' "
                     "FROM pg_index ix JOIN pg_class c ON c.oid = ix.indexrelid "
                     "JOIN pg_class t ON t.oid = ix.indrelid WHERE t.relname = ? AND NOT ix.indisprimary",
                     {table})
            : Values(db,
                     "SELECT l.name || CASE WHEN l.\"unique\" THEN ' unique' ELSE '' END || ' (' || "
                     "(SELECT group_concat(coalesce(x.name, 'expr'), ',') FROM pragma_index_xinfo(l.name) x "
                     "WHERE x.key = 1) || ')' FROM pragma_index_list(?) l WHERE l.origin <> 'pk'",
                     {table});
    lines.sort();
    return lines;
}

// Tables with their columns, kinds, NOT NULL and indexes; views with their columns: what the
// import and the reports rely on, one line each.
QStringList Layout(Database& db)
{
    QStringList lines;
    QStringList tables = db.Connection().tables(QSql::Tables);
    QStringList views = db.Connection().tables(QSql::Views);
    tables.sort();
    views.sort();
    for (const QString& table : std::as_const(tables))
    {
        const QSqlRecord record = db.Connection().record(table);
        const auto& kinds = db.Columns(table);
        for (int i = 0; i < record.count(); ++i)
            lines.append(
                QStringLiteral("table %1.%2 %3%4")
                    .arg(table, record.fieldName(i), KindName(kinds.value(record.fieldName(i).toLower())),
                         record.field(i).requiredStatus() == QSqlField::Required ? QStringLiteral(" not null")
                                                                                 : QString()));
        for (const QString& index : Indexes(db, table))
            lines.append(QStringLiteral("index %1 %2").arg(table, index));
    }
    for (const QString& view : std::as_const(views))
    {
        const QSqlRecord record = db.Connection().record(view);
        QStringList columns;
        for (int i = 0; i < record.count(); ++i)
            columns.append(record.fieldName(i));
        lines.append(QStringLiteral("view %1 (%2)").arg(view, columns.join(QLatin1Char(','))));
    }
    return lines;
}

TEST(ServerStore, HasTheSameTablesKindsIndexesAndViewsAsTheEmbeddedOne)
{
    ServerDatabase server;
    SKIP_WITHOUT_SERVER(server);
    TempDatabase embedded;
    const QStringList expected = Layout(*embedded.Open());
    const QStringList actual = Layout(*OpenDatabase(server.settings));
    EXPECT_EQ(actual, expected) << actual.join('\n').toStdString();
    EXPECT_TRUE(expected.contains("index dat_project_info ix_project_info_class (expr)"));
    EXPECT_TRUE(expected.contains("table dat_corp_info.corpid text not null"));
}

TEST(ServerStore, OpeningAnOldDatabaseReplacesItsSecurityQueryOnce)
{
    ServerDatabase server;
    SKIP_WITHOUT_SERVER(server);
    {
        auto db = OpenDatabase(server.settings);
        QString old = StoreScript("views.sql");
        old = old.mid(old.indexOf("CREATE VIEW corpsecurity"));
        old = old.left(old.indexOf(';') + 1)
                  .replace("CREATE VIEW", "CREATE OR REPLACE VIEW")
                  .replace("JOIN dat_corp_security", "LEFT JOIN dat_corp_security");
        db->ExecuteScript("INSERT INTO dat_corp_info (corpid) VALUES ('U1'), ('U2');\n"
                          "INSERT INTO dat_corp_security (corpid) VALUES ('U1');\n" +
                          old);
        QSqlQuery& count = db->Execute("SELECT count(*) FROM corpsecurity");
        ASSERT_TRUE(count.next());
        ASSERT_EQ(count.value(0).toInt(), 2) << "the old query";
        count.finish();
    }
    // Programs opening the old database at once: one replaces the query, the others wait and find it done.
    std::vector<std::thread> programs;
    std::atomic<int> failures{0};
    for (int k = 0; k < 3; ++k)
        programs.emplace_back(
            [&]
            {
                try
                {
                    OpenDatabase(server.settings);
                }
                catch (const CorvaneError& error)
                {
                    ADD_FAILURE() << error.Message().toStdString();
                    ++failures;
                }
            });
    for (std::thread& program : programs)
        program.join();
    EXPECT_EQ(failures, 0);
    auto db = OpenDatabase(server.settings);
    QSqlQuery& count = db->Execute("SELECT count(*), (SELECT count(*) FROM dat_corp_info) FROM corpsecurity");
    ASSERT_TRUE(count.next());
    EXPECT_EQ(count.value(0).toInt(), 1);
    EXPECT_EQ(count.value(1).toInt(), 2);
}

struct CliRun
{
    int exitCode;
    QString output;
};

CliRun InitDb(const QString& uri)
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(CORVANE_CLI), {"--data-source", uri, "init-db"});
    cli.waitForFinished(60000);
    return {cli.exitCode(), QString::fromUtf8(cli.readAll()).trimmed()};
}

TEST(InitDbOnServer, CreatesTheTablesInAnEmptyDatabase)
{
    ServerDatabase server(false);
    SKIP_WITHOUT_SERVER(server);
    const CliRun run = InitDb(server.Uri());
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.output.endsWith("已在数据库中建表:" + server.Uri())) << run.output.toStdString();
    auto db = OpenDatabase(server.settings);
    QSqlQuery& count = db->Execute("SELECT count(*) FROM dic_project_type");
    ASSERT_TRUE(count.next());
    EXPECT_GT(count.value(0).toInt(), 20);
}

TEST(InitDbOnServer, RefusesADatabaseThatHoldsTheTables)
{
    ServerDatabase server;
    SKIP_WITHOUT_SERVER(server);
    {
        auto db = OpenDatabase(server.settings);
        db->Execute("INSERT INTO dat_corp_info (corpid) VALUES (?)", {"kept"}).finish();
    }
    const CliRun run = InitDb(server.Uri());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.endsWith("数据库中已有表dic_corp_type，不会覆盖:" + server.Uri()))
        << run.output.toStdString();
    auto db = OpenDatabase(server.settings);
    QSqlQuery& count = db->Execute("SELECT count(*) FROM dat_corp_info");
    ASSERT_TRUE(count.next());
    EXPECT_EQ(count.value(0).toInt(), 1);
}

TEST(OpenDatabase, NamesTheServerThatDoesNotAnswer)
{
    Settings settings;
    settings.DataSource = QStringLiteral("postgresql://nobody@127.0.0.1:1/none");
    try
    {
        OpenDatabase(settings);
        ADD_FAILURE() << "opened a server that is not there";
    }
    catch (const CorvaneError& error)
    {
        EXPECT_TRUE(error.Message().startsWith("无法打开数据库postgresql://nobody@127.0.0.1:1/none:"))
            << error.Message().toStdString();
    }
}
} // namespace
