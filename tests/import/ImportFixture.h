#pragma once

#include "support/CaseName.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <QFile>
#include <gtest/gtest.h>

// A fresh database with an import folder (ImportPath) and a save folder (LocalPath), for the
// tests that run a batch or the command line over files written into the import folder.
class ImportFixture : public ::testing::Test
{
protected:
    TempDatabase temp;
    RecordingSink sink;

    QString In(const QString& name) const { return temp.settings.ImportPath + name; }
    QString Local(const QString& name) const { return temp.settings.LocalPath + name; }
    void Write(const QString& name, const QByteArray& bytes) const { temp.WriteFile(In(name), bytes); }
    int Rows(const QString& table) const
    {
        return temp.Scalar(QStringLiteral("select count(*) from ") + table).toInt();
    }
};
