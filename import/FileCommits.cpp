#include "import/FileCommits.h"

#include "import/FileMove.h"
#include "services/Database.h"
#include "services/PathAttributes.h"
#include "services/Settings.h"

#include <utility>

BatchOutcome::BatchOutcome(const QString& importFolder, const Settings& batchSettings, MessageSink& messages,
                           const QString& kind, int listed)
    : folder(importFolder), settings(batchSettings), sink(messages), ledger(kind, listed)
{
    const QString& localPath = settings.LocalPath;
    if (!localPath.isEmpty() && PathAttributes(localPath) >= 0 &&
        !IsSameFolder(folder.isEmpty() ? QStringLiteral(".") : folder, localPath))
        mover.emplace(folder, localPath);
}

void BatchOutcome::Settle(const QString& name, bool imported)
{
    if (!imported)
    {
        ++counts.failed;
        return;
    }
    if (mover)
        m_moving.append(name);
    ++counts.imported;
}

void BatchOutcome::StartMoves()
{
    if (mover)
        mover->Add(std::exchange(m_moving, {}));
}

void BatchOutcome::Stop(const QString& text)
{
    sink.Show(text);
    counts.stopped = true;
}

void BatchOutcome::StopForDatabase(const QString& name, const QString& failure)
{
    Stop(QStringLiteral("导入停止于") + folder + name + QStringLiteral(":") + failure);
}

void BatchOutcome::StopBusy()
{
    Stop(QStringLiteral("数据库正被其他程序使用") + DatabasePath(settings));
}

void HeldMessages::Deliver()
{
    for (const LedgerMessage& message : std::as_const(m_messages))
        if (message.detail.element.isEmpty())
            m_sink.Show(message.text);
        else
            m_sink.ShowAbout(message.text, message.detail);
    m_messages.clear();
}
