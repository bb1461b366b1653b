#include "ReportDatabase.h"

#include "xls/XlsTestFiles.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

ReportDatabase::ReportDatabase(bool realTemplates)
{
    for (const QString& title : {QStringLiteral("国家计委汇总表"), QStringLiteral("十一五资金需求汇总表")})
    {
        const QString target = settings.AppFolder + title + QStringLiteral(".xls");
        if (realTemplates)
            EXPECT_TRUE(QFile::copy(TemplateFile(title + QStringLiteral(".xls")), target));
        else
            WriteFile(target, QByteArray());
    }
}

void ReportDatabase::Insert(const QString& table, const QVariantMap& values) const
{
    QStringList marks;
    for (qsizetype i = 0; i < values.size(); ++i)
        marks << QStringLiteral("?");
    const QString sql = QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(table, values.keys().join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    auto db = Open();
    db->Execute(sql, values.values()).finish();
}

void ReportDatabase::AddUnit(const QString& corpid, const QString& name, int type, int unitClass,
                             QVariant risk) const
{
    Insert(QStringLiteral("dat_corp_info"),
           {{"corpid", corpid}, {"name", name}, {"type", type}, {"class", unitClass}, {"risk", risk}});
}

void ReportDatabase::AddProject(const QString& projectid, const QString& corpid, const QString& name,
                                int type, const QVariantMap& more, const QVariantList& fund) const
{
    QVariantMap values = more;
    values.insert("projectid", projectid);
    values.insert("corpid", corpid);
    values.insert("name", name);
    values.insert("type", type);
    Insert(QStringLiteral("dat_project_info"), values);
    if (!fund.isEmpty())
        Insert(QStringLiteral("dat_project_fund"), {{"projectid", projectid},
                                                    {"stateinvest", fund.value(0)},
                                                    {"localinvest", fund.value(1)},
                                                    {"otherinvest", fund.value(2)},
                                                    {"totalfund", fund.value(3)}});
}

void ReportDatabase::AddFundYear(const QString& projectid, QVariant year, QVariant state,
                                 QVariant local) const
{
    Insert(QStringLiteral("dat_project_fund_detail"),
           {{"projectid", projectid}, {"year", year}, {"state", state}, {"local", local}});
}
