#pragma once

#include "services/Settings.h"

#include <QString>
#include <QTemporaryDir>

// A fresh database on the private PostgreSQL test server (tools/pg-test-server.sh, started by the
// CTest fixture), dropped again at the end, with settings whose DataSource names it and whose
// folders ("app/", "in/", "local/") lie in a temporary folder. When no server is available,
// Available() is false and Reason() says why; tests then skip with SKIP_WITHOUT_SERVER.
class ServerDatabase
{
public:
    // withTables: built by init-db's routine; otherwise left empty.
    explicit ServerDatabase(bool withTables = true);
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    bool Available() const { return m_reason.isEmpty(); }
    const QString& Reason() const { return m_reason; }
    // postgresql://user@host:port/name of this database.
    const QString& Uri() const { return settings.DataSource; }
    const QString& Name() const { return m_name; }
    QString Folder() const { return m_dir.path() + QStringLiteral("/"); }
    // Runs a statement on the server's maintenance database (to watch or end other sessions).
    void Administer(const QString& sql) const;

    Settings settings;

private:
    QTemporaryDir m_dir;
    QString m_server; // URI of the maintenance database
    QString m_name;
    QString m_reason;
};

// Skips the test, loudly, when the PostgreSQL test server is not there.
#define SKIP_WITHOUT_SERVER(database)                                                                        \
    do                                                                                                       \
    {                                                                                                        \
        if (!(database).Available())                                                                         \
        {                                                                                                    \
            std::fprintf(stderr, "*** PostgreSQL test SKIPPED: %s ***\n", qPrintable((database).Reason()));  \
            GTEST_SKIP() << "PostgreSQL test server unavailable: " << qPrintable((database).Reason());       \
        }                                                                                                    \
    } while (false)
