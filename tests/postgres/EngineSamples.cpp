#include "EngineSamples.h"

#include "services/CorvaneError.h"
#include "services/Database.h"
#include "store/Store.h"
#include "tools/SampleData.h"
#include "xls/XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

FileList CopyBatch(const QString& folder, const QString& extension, const QStringList& only,
                   const Settings& settings)
{
    FileList files;
    files.folder = settings.ImportPath;
    const QStringList names =
        only.isEmpty() ? QDir(folder).entryList({QStringLiteral("*.") + extension}, QDir::Files, QDir::Name)
                       : only;
    for (const QString& name : names)
    {
        EXPECT_TRUE(QFile::copy(folder + QStringLiteral("/") + name, settings.ImportPath + name))
            << name.toStdString();
        files.names.append(name);
    }
    return files;
}

QStringList TableContents(const Settings& settings)
{
    std::unique_ptr<Database> db = OpenDatabase(settings);
    QStringList lines;
    for (const QString& table : StoreTables())
    {
        QStringList rows;
        QSqlQuery& query = db->Execute(QStringLiteral("SELECT * FROM ") + table);
        const QSqlRecord record = query.record();
        while (query.next())
        {
            QStringList values;
            for (int i = 0; i < record.count(); ++i)
            {
                const QVariant value = query.value(i);
                if (value.isNull())
                    values.append(QStringLiteral("NULL"));
                else if (value.typeId() == QMetaType::Double)
                    values.append(QString::number(value.toDouble(), 'g', 17));
                else if (value.typeId() == QMetaType::QString)
                    values.append(QLatin1Char('"') + value.toString() + QLatin1Char('"'));
                else // the engines' drivers give whole numbers as different integer types
                    values.append(value.toString());
            }
            rows.append(table + QStringLiteral(": ") + values.join(QStringLiteral(" | ")));
        }
        query.finish();
        rows.sort();
        lines += rows;
    }
    return lines;
}

QStringList WorkbookCells(const QString& path)
{
    XlsWorkbook book;
    book.OpenWorkbook(path);
    QStringList cells;
    for (int sheet = 0; sheet < book.Sheets().Count(); ++sheet)
    {
        const Worksheet& page = book.Sheets().SheetAt(sheet);
        for (int row = 0; row < 1200; ++row)
            for (int col = 0; col < 48; ++col)
                if (const QString text = page.ReadCell(col, row); !text.isEmpty())
                    cells.append(QStringLiteral("%1!%2,%3=%4").arg(sheet).arg(col).arg(row).arg(text));
    }
    return cells;
}

void CopyTemplates(const Settings& settings)
{
    for (const QString& title : {QStringLiteral("国家计委汇总表"), QStringLiteral("十一五资金需求汇总表")})
        ASSERT_TRUE(QFile::copy(QStringLiteral(CORVANE_TEMPLATE_DIR "/") + title + QStringLiteral(".xls"),
                                settings.AppFolder + title + QStringLiteral(".xls")));
}

std::string Differences(const QStringList& expected, const QStringList& actual)
{
    QString text;
    for (const auto& [from, to, label] : {std::tuple{&expected, &actual, "only expected: "},
                                          std::tuple{&actual, &expected, "only actual:   "}})
    {
        const QSet<QString> other(to->begin(), to->end());
        int shown = 0;
        for (const QString& line : *from)
            if (!other.contains(line) && shown++ < 10)
                text += QString::fromLatin1(label) + line + QLatin1Char('\n');
    }
    return text.isEmpty() ? std::string("same lines, different order or count") : text.toStdString();
}
