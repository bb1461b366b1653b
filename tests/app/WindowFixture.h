#pragma once

#include "app/Form1.h"
#include "app/frmFolder.h"
#include "support/RecordingSink.h"
#include "support/TempDatabase.h"

#include <QFileDialog>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

// A working folder with a fresh database, and the window opened on it with a recording sink.
// AppFolder is given without its "/" as the program's folder is.
class WindowTest : public ::testing::Test
{
protected:
    TempDatabase temp;
    RecordingSink sink;

    QString ProgramFolder() const { return temp.Folder() + QStringLiteral("app"); }
    QString In(const QString& name) const { return temp.settings.ImportPath + name; }
    QString Local(const QString& name) const { return temp.settings.LocalPath + name; }

    void WriteConfig() const
    {
        temp.WriteFile(
            QStringLiteral("app/config.pz"),
            (QStringLiteral("<?xml version=\"1.0\" encoding=\"GB2312\" standalone=\"yes\"?><Config>"
                            "<ImportPath>%1</ImportPath><LocalPath>%2</LocalPath><DataSource/></Config>")
                 .arg(temp.settings.ImportPath, temp.settings.LocalPath))
                .toUtf8());
    }
    QString WriteUnitFile(const QString& name, const QString& corpId) const
    {
        return temp.WriteFile(
            In(name),
            QStringLiteral("<CorpInfo><Basic><CorpID>%1</CorpID></Basic></CorpInfo>").arg(corpId).toUtf8());
    }
    QString WriteProjectFile(const QString& name) const
    {
        return temp.WriteFile(
            In(name), QByteArrayLiteral("<Report><ReportInfo><CorpID>U01</CorpID></ReportInfo>"
                                        "<BasicInfo><ProjectID>P07</ProjectID></BasicInfo></Report>"));
    }

    std::unique_ptr<Form1> OpenWindow(MessageSink& messages)
    {
        return std::make_unique<Form1>(ProgramFolder(), &messages);
    }

    template <typename Control> static Control* Find(const QWidget& parent, const char* name)
    {
        Control* control = parent.findChild<Control*>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    static void Click(const QWidget& parent, const char* name)
    {
        if (QPushButton* button = Find<QPushButton>(parent, name))
            button->click();
    }

    // A file dialog that an operator answers with these paths; it notes how it was set up.
    Form1::FileDialogRunner Choose(const QStringList& paths)
    {
        return [this, paths](QFileDialog& dialog)
        {
            dialogFilters = dialog.nameFilters();
            dialogFolder = dialog.directory().absolutePath();
            return paths;
        };
    }
    // A folder chooser in which the operator opens folder and ends with the button (or the title
    // bar when button is null).
    static Form1::FolderDialogRunner ChooseFolder(const QString& folder, const char* button)
    {
        return [folder, button](frmFolder& dialog)
        {
            dialog.show();
            dialog.OpenFolder(folder);
            if (button)
                Click(dialog, button);
            else
                dialog.close();
        };
    }

    QStringList dialogFilters;
    QString dialogFolder;
};
