#include "import/ImportProjectFiles.h"
#include "ImportFixture.h"
#include "ReportXml.h"

#include <QFile>
#include <gtest/gtest.h>

namespace
{
// unprocessed: files a stopped batch never looked at.
QString Summary(int imported, int failed, int unprocessed = 0)
{
    const QString counts = QStringLiteral("导入项目信息:操作完成！\n倒入成功%1个文件\n倒入失败%2个文件")
                               .arg(imported)
                               .arg(failed);
    return unprocessed > 0 ? counts + QStringLiteral("\n未处理%1个文件").arg(unprocessed) : counts;
}

class ProjectBatch : public ImportFixture
{
protected:
    void Write(const QString& name, const ReportXml& xml) const { ImportFixture::Write(name, xml.Bytes()); }

    BatchCounts Import(const QStringList& names)
    {
        return ImportProjectFiles(FileList{temp.settings.ImportPath, names}, temp.settings, sink);
    }

    int Count(const QString& table, const QString& key = QStringLiteral("U01_P07")) const
    {
        return temp.Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE projectid = ?").arg(table), {key})
            .toInt();
    }

    QVariant Scalar(const QString& sql) const { return temp.Scalar(sql); }
};

// A project file with a value in every section.
ReportXml FullProject(const QString& name, const QString& amount)
{
    return ReportXml::Project()
        .Set(QStringLiteral("Report/BasicInfo/ProjectName"), name)
        .Set(QStringLiteral("Report/FundDemand/Investment/State"), amount)
        .Set(QStringLiteral("Report/FundDemand/Demand/State/Year2008"), amount)
        .Set(QStringLiteral("Report/BudgetDetail/UnEarth/UnEarth/Total"), amount);
}
} // namespace

TEST_F(ProjectBatch, ImportsUnderTheKeyOfUnitThenProjectAndMovesTheFile)
{
    Write(QStringLiteral("p1.xm"), FullProject(QStringLiteral("古塔维修"), QStringLiteral("8")));

    const BatchCounts counts = Import({QStringLiteral("p1.xm")});

    EXPECT_EQ(counts.imported, 1);
    EXPECT_EQ(sink.messages, QStringList{Summary(1, 0)});
    EXPECT_EQ(Count(QStringLiteral("dat_project_info")), 1);
    EXPECT_EQ(Count(QStringLiteral("dat_project_fund")), 1);
    EXPECT_EQ(Count(QStringLiteral("dat_project_fund_detail")), 5);
    EXPECT_EQ(Count(QStringLiteral("dat_project_budget")), 28);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT corpid FROM dat_project_info")).toString(),
              QStringLiteral("U01"));
    EXPECT_FALSE(QFile::exists(In(QStringLiteral("p1.xm"))));
    EXPECT_TRUE(QFile::exists(Local(QStringLiteral("p1.xm"))));
}

TEST_F(ProjectBatch, ReimportLeavesOneSetOfRowsHoldingTheSecondFilesValues)
{
    Write(QStringLiteral("p1.xm"), FullProject(QStringLiteral("旧名"), QStringLiteral("8")));
    Import({QStringLiteral("p1.xm")});
    Write(QStringLiteral("p1.xm"), FullProject(QStringLiteral("新名"), QStringLiteral("9")));
    Import({QStringLiteral("p1.xm")});

    EXPECT_EQ(sink.messages.last(), Summary(1, 0));
    EXPECT_EQ(Count(QStringLiteral("dat_project_info")), 1);
    EXPECT_EQ(Count(QStringLiteral("dat_project_fund")), 1);
    EXPECT_EQ(Count(QStringLiteral("dat_project_fund_detail")), 5);
    EXPECT_EQ(Count(QStringLiteral("dat_project_budget")), 28);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT name FROM dat_project_info")).toString(), QStringLiteral("新名"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT stateinvest FROM dat_project_fund")).toDouble(), 9.0);
    EXPECT_EQ(
        Scalar(QStringLiteral("SELECT state FROM dat_project_fund_detail WHERE year = 2008")).toDouble(),
        9.0);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT total FROM dat_project_budget WHERE type = 22")).toDouble(), 9.0);
}

TEST_F(ProjectBatch, ReplacingAProjectsRowsKeepsTheOtherProjectsOfItsUnit)
{
    Write(QStringLiteral("p1.xm"), ReportXml::Project(QStringLiteral("U01"), QStringLiteral("P07")));
    Write(QStringLiteral("p2.xm"), ReportXml::Project(QStringLiteral("U01"), QStringLiteral("P08")));

    EXPECT_EQ(Import({QStringLiteral("p1.xm"), QStringLiteral("p2.xm")}).imported, 2);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM dat_project_info WHERE corpid = 'U01'")).toInt(),
              2);
    EXPECT_EQ(Count(QStringLiteral("dat_project_budget")), 28);
    EXPECT_EQ(Count(QStringLiteral("dat_project_budget"), QStringLiteral("U01_P08")), 28);
}

TEST_F(ProjectBatch, FileWithoutFundDemandOrBudgetDetailGetsAllRowsWithNullAmounts)
{
    Write(QStringLiteral("p1.xm"), ReportXml::Project());

    EXPECT_EQ(Import({QStringLiteral("p1.xm")}).imported, 1);
    EXPECT_EQ(Count(QStringLiteral("dat_project_fund_detail")), 5);
    EXPECT_EQ(Count(QStringLiteral("dat_project_budget")), 28);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM dat_project_fund_detail "
                                    "WHERE state IS NULL AND local IS NULL AND year BETWEEN 2006 AND 2010"))
                  .toInt(),
              5);
    EXPECT_EQ(Scalar(QStringLiteral(
                         "SELECT count(*) FROM dat_project_budget WHERE total IS NULL AND state IS NULL"))
                  .toInt(),
              28);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM dat_project_fund WHERE stateinvest IS NULL "
                                    "AND localinvest IS NULL AND otherinvest IS NULL AND totalfund IS NULL"))
                  .toInt(),
              1);
}

TEST_F(ProjectBatch, FailingThirdSectionKeepsTheEarlierSectionsAndLeavesTheFile)
{
    Write(QStringLiteral("p1.xm"),
          FullProject(QStringLiteral("古塔维修"), QStringLiteral("8"))
              .Set(QStringLiteral("Report/BudgetDetail/RelicPurchase/State"), QStringLiteral("待定")));

    const BatchCounts counts = Import({QStringLiteral("p1.xm")});

    EXPECT_EQ(counts.failed, 1);
    ASSERT_EQ(sink.messages.size(), 2);
    EXPECT_TRUE(sink.messages[0].startsWith(QStringLiteral("导入项目U01_P07信息失败:")));
    EXPECT_EQ(sink.messages[1], Summary(0, 1));
    EXPECT_EQ(Count(QStringLiteral("dat_project_info")), 1);
    EXPECT_EQ(Count(QStringLiteral("dat_project_fund")), 1);
    EXPECT_EQ(Count(QStringLiteral("dat_project_fund_detail")), 5);
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("p1.xm"))));
    EXPECT_FALSE(QFile::exists(Local(QStringLiteral("p1.xm"))));
}

TEST_F(ProjectBatch, MissingFirstFileEndsTheBatchBeforeTheSecond)
{
    Write(QStringLiteral("p2.xm"), ReportXml::Project());

    const BatchCounts counts = Import({QStringLiteral("p1.xm"), QStringLiteral("p2.xm")});

    EXPECT_EQ(counts.imported + counts.failed, 0);
    EXPECT_EQ(sink.messages, (QStringList{QStringLiteral("无法打开指定文件") + In(QStringLiteral("p1.xm")) +
                                              QStringLiteral("\n文件不存在"),
                                          Summary(0, 0, 2)}));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("p2.xm"))));
    EXPECT_EQ(Rows(QStringLiteral("dat_project_info")), 0);
}

TEST_F(ProjectBatch, ReadsAFileDeclaredGb2312)
{
    QFile::copy(QStringLiteral(CORVANE_TEST_DATA "/project.xm"), In(QStringLiteral("p.xm")));

    EXPECT_EQ(Import({QStringLiteral("p.xm")}).imported, 1);
    const QString key = QStringLiteral("3201000001_XM000001");
    EXPECT_EQ(temp.Scalar(QStringLiteral("SELECT name FROM dat_project_info WHERE projectid = ?"), {key})
                  .toString(),
              QStringLiteral("古城墙管理处古建筑维修工程"));
    EXPECT_EQ(temp.Scalar(QStringLiteral("SELECT remark FROM dat_project_info WHERE projectid = ?"), {key})
                  .toString(),
              QStringLiteral("联系人：谢旸"));
    EXPECT_EQ(Count(QStringLiteral("dat_project_budget"), key), 28);
}

// Files are committed in groups. A trigger refuses the info row of the second of three files:
// with ABORT only that file fails and the others keep their rows; with ROLLBACK the engine ends
// the group's transaction, so every file of that group fails and stays, and the next group goes on.
struct GroupFailure
{
    std::string name;
    const char* action;
    QStringList imported; // moved, with rows
    QStringList stayed;   // not moved
    int failed;
};

class ProjectGroup : public ProjectBatch, public ::testing::WithParamInterface<GroupFailure>
{
};

TEST_P(ProjectGroup, OneFilesFailureCostsOnlyWhatItsKindOfFailureMust)
{
    const GroupFailure& test = GetParam();
    const QStringList names = {QStringLiteral("p1.xm"), QStringLiteral("p2.xm"), QStringLiteral("p3.xm")};
    for (int i = 0; i < names.size(); ++i)
        Write(names[i], ReportXml::Project(QStringLiteral("U01"), QStringLiteral("P%1").arg(i + 1)));
    {
        auto db = temp.Open();
        db->Execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON dat_project_info "
                                   "WHEN new.projectid = 'U01_P2' BEGIN SELECT RAISE(%1, 'refused'); END")
                        .arg(QLatin1String(test.action)))
            .finish();
    }

    const BatchCounts counts = Import(names);

    EXPECT_EQ(counts.imported, test.imported.size());
    EXPECT_EQ(counts.failed, test.failed);
    EXPECT_EQ(sink.messages.last(), Summary(int(test.imported.size()), test.failed));
    EXPECT_TRUE(sink.messages.contains(QStringLiteral("导入项目U01_P2信息失败:refused")));
    for (const QString& name : test.imported)
    {
        const QString key = QStringLiteral("U01_P") + name.mid(1, 1);
        EXPECT_TRUE(QFile::exists(Local(name))) << name.toStdString();
        EXPECT_EQ(Count(QStringLiteral("dat_project_info"), key), 1) << name.toStdString();
        EXPECT_EQ(Count(QStringLiteral("dat_project_budget"), key), 28) << name.toStdString();
    }
    for (const QString& name : test.stayed)
    {
        EXPECT_TRUE(QFile::exists(In(name))) << name.toStdString();
        EXPECT_FALSE(QFile::exists(Local(name))) << name.toStdString();
    }
    // When the group's commit failed, each of its files says so.
    const QStringList committedWithoutThem = test.failed == 2 ? test.stayed : QStringList();
    for (const QString& name : committedWithoutThem)
        EXPECT_EQ(sink.messages.filter(QStringLiteral("保存") + name + QStringLiteral("的数据失败:")).size(),
                  1)
            << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(ProjectBatch, ProjectGroup,
                         ::testing::Values(GroupFailure{"Abort",
                                                        "ABORT",
                                                        {QStringLiteral("p1.xm"), QStringLiteral("p3.xm")},
                                                        {QStringLiteral("p2.xm")},
                                                        1},
                                           GroupFailure{"Rollback",
                                                        "ROLLBACK",
                                                        {QStringLiteral("p3.xm")},
                                                        {QStringLiteral("p1.xm"), QStringLiteral("p2.xm")},
                                                        2}),
                         CaseName<GroupFailure>);
