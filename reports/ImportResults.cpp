#include "reports/ImportResults.h"

#include "reports/ReportCells.h"
#include "services/CorvaneError.h"
#include "services/PathAttributes.h"
#include "xls/XlsWorkbook.h"

#include <QDir>
#include <QHash>
#include <QSet>

namespace
{
// Where the template wants the batch's facts and the first message row.
constexpr int kFactsRow = 1;
constexpr int kFirstRow = 3;

// Column of each part of a row, as the template's headings stand.
enum Column
{
    kFile,
    kUnitId,
    kUnitName,
    kOutcome,
    kReason,
    kElement,
    kValue,
};

void WriteRow(ReportSheet& sheet, int row, const LedgerFile& file, const QString& reason,
              const MessageDetail& detail)
{
    sheet.Text(kFile, row, file.name);
    sheet.Text(kUnitId, row, file.unitId);
    sheet.Text(kUnitName, row, file.unitName);
    sheet.Text(kOutcome, row, OutcomeText(file.outcome));
    sheet.Text(kReason, row, reason);
    sheet.Text(kElement, row, detail.element);
    sheet.Text(kValue, row, detail.value);
}

// Fills the template with the refused files among files and saves it at path.
void WriteResults(const LedgerBatch& batch, const QVector<const LedgerFile*>& files,
                  const QString& templatePath, const QString& path)
{
    try
    {
        if (PathAttributes(templatePath) < 0)
            throw CorvaneError(QStringLiteral("找不到模板工作簿:") + templatePath);
        XlsWorkbook workbook;
        workbook.OpenWorkbook(templatePath);
        // A text longer than a cell holds is cut, as in the reports; it is the operator's own
        // message to the unit and stays readable in its first 32767 characters.
        CutTexts cuts;
        ReportSheet sheet(workbook, 0, &cuts);
        sheet.Text(1, kFactsRow, batch.id);
        sheet.Text(4, kFactsRow, LocalTimeText(batch.startedAt));
        sheet.Text(6, kFactsRow, KindText(batch.kind));
        int row = kFirstRow;
        for (const LedgerFile* file : files)
        {
            if (file->messages.isEmpty())
                WriteRow(sheet, row++, *file, ReasonText(*file), {});
            for (const LedgerMessage& message : file->messages)
                WriteRow(sheet, row++, *file, message.text, message.detail);
        }
        workbook.SaveWorkbook(path);
    }
    catch (const CorvaneError& error)
    {
        throw CorvaneError(QStringLiteral("导出导入结果失败:") + error.Message());
    }
}

QVector<const LedgerFile*> RefusedFiles(const QVector<LedgerFile>& files)
{
    QVector<const LedgerFile*> refused;
    for (const LedgerFile& file : files)
        if (file.NeedsAction())
            refused.append(&file);
    return refused;
}

// A file name for a unit that every system accepts: no separators, wildcards, quotes or control
// characters, no trailing dot or space, not too long.
QString SafeFileName(const QString& text)
{
    QString name;
    for (const QChar c : text)
        name += c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c) ? QChar(u'_') : c;
    name = name.trimmed();
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    // Room for a number and ".xls" within the 255 bytes of a name, at 3 bytes a character.
    constexpr qsizetype kLongest = 72;
    if (name.size() > kLongest)
        name = name.left(name.at(kLongest - 1).isHighSurrogate() ? kLongest - 1 : kLongest);
    static const QSet<QString> kDevices{QStringLiteral("con"), QStringLiteral("prn"), QStringLiteral("aux"),
                                        QStringLiteral("nul")};
    if (name.isEmpty() || kDevices.contains(name.toLower()))
        name.prepend(QLatin1Char('_'));
    return name;
}

QString UnitTitle(const QString& unitId, const QString& unitName)
{
    if (unitId.isEmpty())
        return QStringLiteral("未知单位");
    return unitName.isEmpty() ? unitId : unitName + QLatin1Char('_') + unitId;
}
} // namespace

void ExportRefusedFiles(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                        const QString& templatePath, const QString& path)
{
    WriteResults(batch, RefusedFiles(files), templatePath, path);
}

QStringList ExportRefusedFilesPerUnit(const LedgerBatch& batch, const QVector<LedgerFile>& files,
                                      const QString& templatePath, const QString& folder)
{
    // Units in the order the batch met their first refused file; files without a unit id together.
    QVector<QString> units;
    QHash<QString, QVector<const LedgerFile*>> filesOf;
    QHash<QString, QString> nameOf;
    for (const LedgerFile* file : RefusedFiles(files))
    {
        if (!filesOf.contains(file->unitId))
            units.append(file->unitId);
        filesOf[file->unitId].append(file);
        if (nameOf.value(file->unitId).isEmpty())
            nameOf.insert(file->unitId, file->unitName);
    }
    if (!units.isEmpty() && !QDir().mkpath(folder))
        throw CorvaneError(QStringLiteral("导出导入结果失败:无法创建文件夹:") + folder);

    QStringList paths;
    QSet<QString> taken; // without case, as Windows compares names
    for (const QString& unitId : units)
    {
        const QString base = SafeFileName(UnitTitle(unitId, nameOf.value(unitId)));
        QString name = base + QStringLiteral(".xls");
        // Ids that differ only in characters a file name cannot hold still get files of their own.
        for (int n = 2; taken.contains(name.toLower()); ++n)
            name = base + QStringLiteral("(%1).xls").arg(n);
        taken.insert(name.toLower());
        paths.append(QDir(folder).filePath(name));
        WriteResults(batch, filesOf.value(unitId), templatePath, paths.back());
    }
    return paths;
}
