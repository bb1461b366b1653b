#pragma once

#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <QVariantMap>

// A temporary database for the report writers, with rows added in a few words and the template
// workbooks in AppFolder.
class ReportDatabase : public TempDatabase
{
public:
    // Copies the two templates beside the program (AppFolder); empty files when real is false,
    // for runs against a fake workbook.
    explicit ReportDatabase(bool realTemplates = true);

    // Adds a row to table: column name -> value, bound as given.
    void Insert(const QString& table, const QVariantMap& values) const;

    // A unit with its type, class and risk level.
    void AddUnit(const QString& corpid, const QString& name, int type, int unitClass,
                 QVariant risk = {}) const;
    // A project of a unit: its type decides the class (type / 10); its fund row, when fund holds
    // stateinvest, localinvest, otherinvest and totalfund.
    void AddProject(const QString& projectid, const QString& corpid, const QString& name, int type,
                    const QVariantMap& more = {}, const QVariantList& fund = {}) const;
    void AddFundYear(const QString& projectid, QVariant year, QVariant state, QVariant local) const;
};
