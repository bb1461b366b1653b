#include "tools/SampleData.h"

#include "import/FileList.h"
#include "import/ImportProjectFiles.h"
#include "import/ImportUnitFiles.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace
{
long long Cents(const QString& amount)
{
    bool ok = false;
    const double value = amount.toDouble(&ok);
    EXPECT_TRUE(ok) << amount.toStdString();
    return qRound64(value * 100);
}

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// A generated sample set imported through the real batches into a fresh database, so that
// what the import reads is what the generator must have written.
class ImportedSampleSet : public ::testing::Test
{
protected:
    static constexpr int kUnits = 16;
    static constexpr int kProjects = 40;

    void SetUp() override
    {
        counts = WriteSampleSet(temp.settings.ImportPath, kUnits, kProjects, 99);
        ImportUnitFiles(FilesOfFolder(QStringLiteral("dw")), temp.settings, sink);
        ImportProjectFiles(FilesOfFolder(QStringLiteral("xm")), temp.settings, sink);
    }

    // The files of the import folder with the extension, sorted by name as the command line lists them.
    FileList FilesOfFolder(const QString& extension) const
    {
        return FileListOfFolder(temp.settings.ImportPath, extension);
    }

    // The first column of a query's rows, as texts ("NULL" for NULL).
    QStringList Values(const QString& sql) const
    {
        auto db = temp.Open();
        QSqlQuery& query = db->Execute(sql);
        QStringList values;
        while (query.next())
            values.append(query.value(0).isNull() ? QStringLiteral("NULL") : query.value(0).toString());
        query.finish();
        return values;
    }
    QSet<QString> Distinct(const QString& sql) const
    {
        const QStringList values = Values(sql);
        return QSet<QString>(values.begin(), values.end());
    }

    TempDatabase temp;
    RecordingSink sink;
    SampleSetCounts counts;
};
} // namespace

TEST_F(ImportedSampleSet, ImportsWithoutFailureAndFillsEveryColumn)
{
    EXPECT_EQ(sink.messages,
              QStringList({QStringLiteral("导入单位信息:操作完成！\n倒入成功16个文件\n倒入失败0个文件"),
                           QStringLiteral("导入项目信息:操作完成！\n倒入成功40个文件\n倒入失败0个文件")}));
    // A misspelt element leaves its column NULL (numbers, codes) or empty (texts) in every row.
    const QStringList tables = Values(QStringLiteral(
        "select name from sqlite_master where type = 'table' and name like 'dat\\_%' escape '\\'"));
    ASSERT_FALSE(tables.isEmpty());
    for (const QString& table : tables)
        for (const QString& column :
             Values(QStringLiteral("select name from pragma_table_info('%1')").arg(table)))
        {
            const auto rows = [&](const char* condition)
            {
                const QString sql = QStringLiteral("select count(*) from %1 where %2 %3");
                return Values(sql.arg(table, column, QLatin1String(condition))).value(0).toInt();
            };
            EXPECT_EQ(rows("is null"), 0) << table.toStdString() << '.' << column.toStdString();
            EXPECT_GT(rows("<> ''"), 0) << table.toStdString() << '.' << column.toStdString();
        }
}

TEST_F(ImportedSampleSet, EveryCodeTheReportsPlaceOccurs)
{
    const char* const coded[][3] = {
        {"dat_corp_info", "type", "select type from dic_corp_type"},
        {"dat_corp_info", "class", "select class from dic_corp_class"},
        {"dat_corp_info", "risk", "select risc from dic_corp_risc"},
        {"dat_corp_security", "waterdevstatus", "select status from dic_device_status"},
        {"dat_corp_security", "alarmdevstatus", "select status from dic_device_status"},
        {"dat_corp_security", "lightdevstatus", "select status from dic_device_status"},
        {"dat_corp_security", "securedevstatus", "select status from dic_device_status"},
        {"dat_corp_security", "storedevstatus", "select status from dic_device_status"},
        {"dat_corp_construction", "fsdevstatus", "select status from dic_device_status"},
        {"dat_corp_construction", "rpdevstatus", "select status from dic_device_status"},
        {"dat_project_info", "type", "select type from dic_project_type"},
        {"dat_project_info", "attribute", "select attribute from dic_project_attribute"},
    };
    for (const auto& [table, column, dictionary] : coded)
        EXPECT_EQ(Distinct(QStringLiteral("select %1 from %2").arg(column, table)), Distinct(dictionary))
            << table << '.' << column;
    EXPECT_EQ(Distinct(QStringLiteral("select year from dat_project_fund_detail where state > 0")),
              (QSet<QString>{"2006", "2007", "2008", "2009", "2010"}));
    EXPECT_EQ(Distinct(QStringLiteral("select type from dat_project_budget where total > 0")).size(), 28);
}

TEST_F(ImportedSampleSet, ProjectsBelongToGeneratedUnitsInNameOrder)
{
    EXPECT_EQ(counts.units, kUnits);
    EXPECT_EQ(counts.projects, kProjects);
    EXPECT_EQ(counts.companions, 5);
    // Every tenth file has a companion, named so that it moved with its file.
    EXPECT_EQ(QDir(temp.settings.LocalPath).entryList({QStringLiteral("*.htm")}, QDir::Files),
              (QStringList{"P000010.htm", "P000020.htm", "P000030.htm", "P000040.htm", "U0010.htm"}));
    // Ids and keys are unique.
    EXPECT_EQ(Values(QStringLiteral("select count(*) from dat_corp_info")), QStringList{"16"});
    EXPECT_EQ(Values(QStringLiteral("select count(*) from dat_project_info")), QStringList{"40"});

    // Rows are numbered in import order, which is file name order.
    const QStringList units =
        Values(QStringLiteral("select u.rowid from dat_project_info p join dat_corp_info u "
                              "on u.corpid = p.corpid order by p.rowid"));
    ASSERT_EQ(units.size(), kProjects) << "a project refers to a unit that was not generated";
    std::map<int, int> projectsOfUnit;
    int last = 0;
    for (const QString& unit : units)
    {
        EXPECT_GE(unit.toInt(), last) << units.join(QLatin1Char(' ')).toStdString();
        last = unit.toInt();
        ++projectsOfUnit[last];
    }
    EXPECT_EQ(projectsOfUnit.size(), size_t(kUnits));
    for (const auto& [unit, projects] : projectsOfUnit)
        EXPECT_GE(projects, 2) << "unit row " << unit;
}

TEST_F(ImportedSampleSet, GbkOnlyNamesSurvive)
{
    const QRegularExpression gbkOnly(QStringLiteral("[镕堃喆珺玥昇翀旸赟彧祎瑄璟昉祐]"));
    EXPECT_FALSE(Values(QStringLiteral("select reportuser from dat_corp_info")).filter(gbkOnly).isEmpty());
    EXPECT_FALSE(Values(QStringLiteral("select remark from dat_project_info")).filter(gbkOnly).isEmpty());
}

TEST(WriteSampleSet, SameSeedGivesSameBytesAndAnotherSeedOthers)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a"));
    const QString second = dir.filePath(QStringLiteral("b"));
    const QString third = dir.filePath(QStringLiteral("c"));
    WriteSampleSet(first, 5, 12, 42);
    WriteSampleSet(second, 5, 12, 42);
    WriteSampleSet(third, 5, 12, 43);

    const QStringList names = Names(first);
    ASSERT_EQ(names, Names(second));
    ASSERT_EQ(names, Names(third));
    int differing = 0;
    for (const QString& name : names)
    {
        QFile a(first + QLatin1Char('/') + name), b(second + QLatin1Char('/') + name),
            c(third + QLatin1Char('/') + name);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) &&
                    c.open(QIODevice::ReadOnly));
        const QByteArray bytes = a.readAll();
        EXPECT_EQ(bytes, b.readAll()) << name.toStdString();
        differing += bytes != c.readAll() ? 1 : 0;
    }
    EXPECT_EQ(differing, names.size());
}

TEST(MakeUnitFile, NullValueLeavesTheElementOutAndEmptyWritesItEmpty)
{
    std::mt19937 rng(1);
    UnitSample unit = RandomUnit(rng, 0);
    unit.risc = QString();
    unit.faxNo = QStringLiteral("");
    const QByteArray bytes = MakeUnitFile(unit);
    EXPECT_FALSE(bytes.contains("<Risc>"));
    EXPECT_TRUE(bytes.contains("<FaxNo></FaxNo>"));
}

TEST(RandomProject, AmountsAddUp)
{
    std::mt19937 rng(11);
    for (int i = 0; i < 300; ++i)
    {
        const ProjectSample p = RandomProject(rng, i, QStringLiteral("U01"), 10 + (i % 3) * 10);
        const long long state = Cents(p.stateInvest);
        const long long local = Cents(p.localInvest);
        const long long total = Cents(p.totalFund);
        ASSERT_GT(total, 0);
        EXPECT_EQ(total, state + local + Cents(p.otherInvest)) << i;
        long long stateYears = 0, localYears = 0;
        for (size_t y = 0; y < static_cast<size_t>(kPlanYearCount); ++y)
        {
            stateYears += Cents(p.stateByYear[y]);
            localYears += Cents(p.localByYear[y]);
        }
        EXPECT_EQ(stateYears, state) << i;
        EXPECT_EQ(localYears, local) << i;
        long long budgetTotal = 0, budgetState = 0;
        for (const BudgetLineSample& line : p.budget)
        {
            EXPECT_LE(Cents(line.state), Cents(line.total)) << i;
            budgetTotal += Cents(line.total);
            budgetState += Cents(line.state);
        }
        EXPECT_EQ(budgetTotal, total) << i;
        EXPECT_EQ(budgetState, state) << i;
    }
}

TEST(RandomUnit, CountsAndAreasAreConsistent)
{
    std::mt19937 rng(12);
    for (int i = 0; i < 300; ++i)
    {
        const UnitSample u = RandomUnit(rng, i);
        long long grades = 0;
        for (const ItemGradeSample& g : u.itemDetail)
        {
            const long long total = g.totalNum.toLongLong();
            EXPECT_GE(g.goodNum.toLongLong(), 0) << i;
            EXPECT_LE(g.goodNum.toLongLong() + g.slightDamagedNum.toLongLong() +
                          g.severeDamagedNum.toLongLong(),
                      total)
                << i;
            grades += total;
        }
        EXPECT_LE(grades, u.totalItemNum.toLongLong()) << i;
        EXPECT_LE(u.itemArea.toDouble(), u.corpArea.toDouble()) << i;
        EXPECT_LE(u.coreArea.toDouble(), u.totalArea.toDouble()) << i;
        EXPECT_EQ(u.stolenTimes == QLatin1String("0"), u.stolenItemNum == QLatin1String("0")) << i;
        // Museums are classes 20 to 22, immovable relics 11 to 15.
        EXPECT_EQ(u.type == QLatin1String("30"), u.corpClass.toInt() >= 20) << i;
    }
}
