#include "import/LedgerRecords.h"

#include "services/Database.h"

#include <QDateTime>
#include <QHash>

namespace
{
// A batch that never ended (the program was killed) has only the entries its commits wrote:
// its counts are those of its entries. Counted for it alone, since the file table has no index.
const QString kBatchColumns = QStringLiteral(
    "b.batch_id, b.kind, b.started_at, b.ended_at, b.os_user, b.host, b.db_user, b.program_version, "
    "b.database_name, b.files_listed, b.not_moved, b.not_shown, "
    "CASE WHEN b.ended_at IS NULL THEN (SELECT count(*) FROM imp_file f WHERE f.batch_id = b.batch_id "
    "AND f.outcome LIKE 'imported%') ELSE b.imported END, "
    "CASE WHEN b.ended_at IS NULL THEN (SELECT count(*) FROM imp_file f WHERE f.batch_id = b.batch_id "
    "AND f.outcome IN ('failed', 'not of this kind', 'not loadable')) ELSE b.failed END, "
    "b.unprocessed, "
    "CASE WHEN b.ended_at IS NULL THEN (SELECT count(*) FROM imp_file f WHERE f.batch_id = b.batch_id "
    "AND f.change = 'new') ELSE b.added END, "
    "CASE WHEN b.ended_at IS NULL THEN (SELECT count(*) FROM imp_file f WHERE f.batch_id = b.batch_id "
    "AND f.change = 'updated') ELSE b.updated END, "
    "CASE WHEN b.ended_at IS NULL THEN (SELECT count(*) FROM imp_file f WHERE f.batch_id = b.batch_id "
    "AND f.change = 'unchanged') ELSE b.unchanged END");

LedgerBatch ReadBatch(const QSqlQuery& query)
{
    LedgerBatch batch;
    batch.id = query.value(0).toString();
    batch.kind = query.value(1).toString();
    batch.startedAt = query.value(2).toString();
    batch.endedAt = query.value(3).toString();
    batch.osUser = query.value(4).toString();
    batch.host = query.value(5).toString();
    batch.databaseUser = query.value(6).toString();
    batch.programVersion = query.value(7).toString();
    batch.databaseName = query.value(8).toString();
    batch.listed = query.value(9).toInt();
    batch.notMoved = query.value(10).toInt();
    batch.notShown = query.value(11).toInt();
    batch.imported = query.value(12).toInt();
    batch.failed = query.value(13).toInt();
    batch.unprocessed =
        batch.endedAt.isEmpty() ? batch.listed - batch.imported - batch.failed : query.value(14).toInt();
    batch.added = query.value(15).toInt();
    batch.updated = query.value(16).toInt();
    batch.unchanged = query.value(17).toInt();
    return batch;
}
} // namespace

bool LedgerFile::NeedsAction() const
{
    return outcome != LedgerOutcome::kImported && outcome != LedgerOutcome::kUnprocessed;
}

QVector<LedgerBatch> ListBatches(Database& db, int last)
{
    QString sql = QStringLiteral("SELECT ") + kBatchColumns +
                  QStringLiteral(" FROM imp_batch b ORDER BY b.started_at DESC, b.batch_id");
    QVariantList values;
    if (last > 0)
    {
        sql += QStringLiteral(" LIMIT ?");
        values.append(last);
    }
    QVector<LedgerBatch> batches;
    QSqlQuery& query = db.Execute(sql, values);
    while (query.next())
        batches.append(ReadBatch(query));
    query.finish();
    return batches;
}

std::optional<LedgerBatch> FindBatch(Database& db, const QString& id)
{
    if (id.size() < 8)
        return std::nullopt;
    // Matched here rather than with LIKE, whose wildcards an id could hold.
    QSqlQuery& query = db.Execute(QStringLiteral("SELECT ") + kBatchColumns +
                                      QStringLiteral(" FROM imp_batch b WHERE substr(b.batch_id, 1, ?) = ?"),
                                  {int(id.size()), id});
    std::optional<LedgerBatch> found;
    int matches = 0;
    while (query.next())
    {
        found = ReadBatch(query);
        ++matches;
    }
    query.finish();
    return matches == 1 ? found : std::nullopt;
}

QVector<LedgerFile> BatchFiles(Database& db, const QString& batchId)
{
    QVector<LedgerFile> files;
    QHash<int, qsizetype> positions;
    QSqlQuery& query = db.Execute(
        QStringLiteral("SELECT f.file_no, f.file_name, f.file_size, f.sha256, f.file_key, f.unit_id, "
                       "u.name, f.outcome, f.change FROM imp_file f "
                       "LEFT JOIN dat_corp_info u ON u.corpid = f.unit_id "
                       "WHERE f.batch_id = ? ORDER BY f.file_no"),
        {batchId});
    while (query.next())
    {
        LedgerFile file;
        file.number = query.value(0).toInt();
        file.name = query.value(1).toString();
        file.size = query.value(2).isNull() ? -1 : query.value(2).toLongLong();
        file.sha256 = query.value(3).toString();
        file.key = query.value(4).toString();
        file.unitId = query.value(5).toString();
        file.unitName = query.value(6).toString();
        file.outcome = query.value(7).toString();
        file.change = query.value(8).toString();
        positions.insert(file.number, files.size());
        files.append(file);
    }
    query.finish();
    QSqlQuery& messages = db.Execute(QStringLiteral("SELECT file_no, text, element, value FROM imp_message "
                                                    "WHERE batch_id = ? ORDER BY file_no, message_no"),
                                     {batchId});
    while (messages.next())
    {
        const auto position = positions.constFind(messages.value(0).toInt());
        if (position != positions.constEnd())
            files[*position].messages.append(
                {messages.value(1).toString(), {messages.value(2).toString(), messages.value(3).toString()}});
    }
    messages.finish();
    return files;
}

QString KindText(const QString& kind)
{
    return kind == QLatin1String("units") ? QStringLiteral("单位信息") : QStringLiteral("项目信息");
}

QString OutcomeText(const QString& outcome)
{
    static const QHash<QString, QString> texts{
        {LedgerOutcome::kImported, QStringLiteral("已导入")},
        {LedgerOutcome::kNotMoved, QStringLiteral("已导入，未移走")},
        {LedgerOutcome::kFailed, QStringLiteral("导入失败")},
        {LedgerOutcome::kUnprocessed, QStringLiteral("未处理")},
        {LedgerOutcome::kWrongKind, QStringLiteral("类型不符")},
        {LedgerOutcome::kUnloadable, QStringLiteral("无法读取")},
    };
    return texts.value(outcome, outcome);
}

QString ChangeText(const QString& change)
{
    if (change == LedgerChange::kNew)
        return QStringLiteral("新增");
    if (change == LedgerChange::kUpdated)
        return QStringLiteral("更新");
    if (change == LedgerChange::kUnchanged)
        return QStringLiteral("未变化");
    return QString();
}

QString LocalTimeText(const QString& utc)
{
    if (utc.isEmpty())
        return QString();
    const QDateTime time = QDateTime::fromString(utc, Qt::ISODateWithMs);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : utc;
}

QString OperatorText(const LedgerBatch& batch)
{
    return batch.host.isEmpty() ? batch.osUser : batch.osUser + QLatin1Char('@') + batch.host;
}

QString ReasonText(const LedgerFile& file)
{
    return file.messages.isEmpty() ? OutcomeText(file.outcome) : file.messages.first().text;
}
