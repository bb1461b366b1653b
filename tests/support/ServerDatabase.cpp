#include "support/ServerDatabase.h"
#include "support/TempDatabase.h"

#include "services/CorvaneError.h"
#include "services/Database.h"
#include "store/Store.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace
{
// CORVANE_TEST_POSTGRESQL names a server of one's own; else the fixture's state folder holds the
// URL of the private server, or why there is none.
QString ServerUrl(QString& whyNot)
{
    const QString given = qEnvironmentVariable("CORVANE_TEST_POSTGRESQL");
    if (!given.isEmpty())
        return given;
    const QString state = QStringLiteral(CORVANE_PG_STATE_DIR) + QStringLiteral("/");
    QFile url(state + QStringLiteral("url"));
    if (url.open(QIODevice::ReadOnly))
        return QString::fromUtf8(url.readAll()).trimmed();
    QFile unavailable(state + QStringLiteral("unavailable"));
    whyNot = unavailable.open(QIODevice::ReadOnly)
                 ? QString::fromUtf8(unavailable.readAll()).trimmed()
                 : QStringLiteral("not started (run through ctest, or tools/pg-test-server.sh start ") +
                       state + QStringLiteral(")");
    return QString();
}
} // namespace

ServerDatabase::ServerDatabase(bool withTables)
{
    settings = WorkingFolders(Folder());

    m_server = ServerUrl(m_reason);
    if (m_server.isEmpty())
        return;
    static QAtomicInt counter;
    m_name = QStringLiteral("corvane_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(counter.fetchAndAddRelaxed(1));
    try
    {
        Administer(QStringLiteral("CREATE DATABASE ") + m_name + QStringLiteral(" ENCODING 'UTF8'"));
    }
    catch (const CorvaneError& error)
    {
        m_reason = error.Message();
        m_name.clear();
        return;
    }
    settings.DataSource = m_server.left(m_server.lastIndexOf(QLatin1Char('/')) + 1) + m_name;
    if (withTables)
        CreateServerDatabase(settings.DataSource);
}

ServerDatabase::~ServerDatabase()
{
    if (m_name.isEmpty())
        return;
    try
    {
        Administer(QStringLiteral("DROP DATABASE IF EXISTS ") + m_name + QStringLiteral(" WITH (FORCE)"));
    }
    catch (const CorvaneError&)
    {
        // The server's folder goes away with the fixture all the same.
    }
}

void ServerDatabase::Administer(const QString& sql) const
{
    Database db(ServerTarget(m_server));
    db.ExecuteControl(sql);
}
