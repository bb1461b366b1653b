#include "WindowFixture.h"

#include "app/ImportHistoryDialog.h"
#include "app/ImportResultsDialog.h"
#include "app/QtMessageSink.h"
#include "services/Config.h"
#include "store/Store.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace
{
struct ControlCase
{
    std::string name;
    QString caption;
    QRect geometry;
    friend void PrintTo(const ControlCase& c, std::ostream* out) { *out << c.name; }
};

class Form1Controls : public WindowTest, public ::testing::WithParamInterface<ControlCase>
{
};

struct ImportCase
{
    std::string name;
    const char* button;
    QString file;
    QStringList filters;
    QString fileName;
    QString summary;
    friend void PrintTo(const ImportCase& c, std::ostream* out) { *out << c.name; }
};

class ImportButton : public WindowTest, public ::testing::WithParamInterface<ImportCase>
{
protected:
    QString Write(const ImportCase& test) const
    {
        return test.file.endsWith(QStringLiteral(".dw")) ? WriteUnitFile(test.file, QStringLiteral("U01"))
                                                         : WriteProjectFile(test.file);
    }
};

struct FolderCase
{
    std::string name;
    const char* button;
    const char* label;
    friend void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.name; }
};

class FolderButton : public WindowTest, public ::testing::WithParamInterface<FolderCase>
{
protected:
    QString LabelText(const Form1& form) const { return Find<QLabel>(form, GetParam().label)->text(); }
    QString Setting(const Form1& form) const
    {
        return GetParam().label == std::string("Label3") ? form.CurrentSettings().ImportPath
                                                         : form.CurrentSettings().LocalPath;
    }
};

// The window's own sink with the boxes recorded instead of shown, and what the progress dialog
// said at each step.
class RecordingQtSink : public QtMessageSink
{
public:
    void Show(const QString& text) override { messages.append(text); }
    void Progress(const QString& step, int done, int total) override
    {
        QtMessageSink::Progress(step, done, total);
        steps.append(ProgressStep() + QLatin1Char('|') + ProgressCount());
        if (onProgress)
            onProgress(done);
    }
    QStringList messages;
    QStringList steps;
    std::function<void(int done)> onProgress;
};

template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& test)
{
    return test.param.name;
}
} // namespace

TEST_F(WindowTest, StartShowsTheConfiguredFolders)
{
    WriteConfig();
    auto form = OpenWindow(sink);
    EXPECT_TRUE(sink.messages.isEmpty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Corvane"));
    EXPECT_EQ(form->CurrentSettings().AppFolder, temp.settings.AppFolder);
    EXPECT_EQ(Find<QLabel>(*form, "Label3")->text(), temp.settings.ImportPath);
    EXPECT_EQ(Find<QLabel>(*form, "Label4")->text(), temp.settings.LocalPath);
}

TEST_F(WindowTest, StartWithoutConfigurationReportsAndShowsNoFolders)
{
    auto form = OpenWindow(sink);
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("配置文件错误，请重新配置")});
    EXPECT_EQ(Find<QLabel>(*form, "Label3")->text(), QString());
    EXPECT_EQ(Find<QLabel>(*form, "Label4")->text(), QString());
}

TEST_F(WindowTest, CloseWritesTheFoldersOfTheLabels)
{
    auto form = OpenWindow(sink);
    form->SetFolderDialogRunner(ChooseFolder(temp.Folder() + QStringLiteral("local"), "OKButton"));
    Click(*form, "Command5");
    form->close();

    Settings saved;
    saved.AppFolder = temp.settings.AppFolder;
    RecordingSink loadMessages;
    LoadConfig(saved, loadMessages);
    EXPECT_TRUE(loadMessages.messages.isEmpty());
    EXPECT_EQ(saved.ImportPath, QString());
    EXPECT_EQ(saved.LocalPath, temp.settings.LocalPath);
}

TEST_P(Form1Controls, HaveTheirCaptionAndPlace)
{
    WriteConfig();
    auto form = OpenWindow(sink);
    EXPECT_EQ(form->size(), QSize(467, 125));
    const QWidget* control = Find<QWidget>(*form, GetParam().name.c_str());
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), GetParam().geometry);
    if (const auto* label = qobject_cast<const QLabel*>(control); label && !GetParam().caption.isNull())
    {
        EXPECT_EQ(label->text(), GetParam().caption);
    }
    if (const auto* button = qobject_cast<const QPushButton*>(control))
    {
        EXPECT_EQ(button->text(), GetParam().caption);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Form1, Form1Controls,
    ::testing::Values(ControlCase{"Label1", QStringLiteral("导入文件路径"), QRect(8, 16, 81, 17)},
                      ControlCase{"Label3", QString(), QRect(96, 16, 313, 25)},
                      ControlCase{"Command3", QStringLiteral("..."), QRect(424, 16, 33, 25)},
                      ControlCase{"Label2", QStringLiteral("文件保存路径"), QRect(8, 48, 81, 17)},
                      ControlCase{"Label4", QString(), QRect(96, 48, 313, 25)},
                      ControlCase{"Command5", QStringLiteral("..."), QRect(424, 48, 33, 25)},
                      ControlCase{"Command1", QStringLiteral("导入单位信息(&U)"), QRect(8, 80, 105, 33)},
                      ControlCase{"Command2", QStringLiteral("导入项目信息(&P)"), QRect(128, 80, 105, 33)},
                      ControlCase{"ImportHistory", QStringLiteral("导入记录(&H)"), QRect(240, 80, 105, 33)},
                      ControlCase{"Command4", QStringLiteral("生成统计报表(&R)"), QRect(352, 80, 105, 33)}),
    CaseName<ControlCase>);

TEST_P(ImportButton, ImportsTheChosenFilesAndShowsTheSummary)
{
    WriteConfig();
    const QString path = Write(GetParam());
    auto form = OpenWindow(sink);
    QString fileName;
    form->SetFileDialogRunner(
        [&](QFileDialog& dialog)
        {
            if (const auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                fileName = edit->text();
            return Choose({path})(dialog);
        });
    Click(*form, GetParam().button);

    EXPECT_EQ(dialogFilters, GetParam().filters);
    EXPECT_EQ(dialogFolder + QLatin1Char('/'), temp.settings.ImportPath);
    EXPECT_EQ(fileName, GetParam().fileName);
    EXPECT_EQ(sink.messages, QStringList{GetParam().summary});
    EXPECT_TRUE(QFile::exists(Local(GetParam().file)));
}

TEST_P(ImportButton, CancellingTheFileChoiceImportsNothing)
{
    WriteConfig();
    Write(GetParam());
    auto form = OpenWindow(sink);
    form->SetFileDialogRunner(Choose({}));
    Click(*form, GetParam().button);

    EXPECT_TRUE(sink.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(In(GetParam().file)));
}

INSTANTIATE_TEST_SUITE_P(
    Form1, ImportButton,
    ::testing::Values(ImportCase{"Units",
                                 "Command1",
                                 QStringLiteral("u1.dw"),
                                 {QStringLiteral("单位信息 (*.dw)"), QStringLiteral("所有文件 (*)")},
                                 QStringLiteral("*.dw"),
                                 QStringLiteral("导入单位信息:操作完成！\n倒入成功1个文件\n倒入失败0个文件")},
                      ImportCase{
                          "Projects",
                          "Command2",
                          QStringLiteral("p1.xm"),
                          {QStringLiteral("项目信息 (*.xm)"), QStringLiteral("所有文件 (*)")},
                          QStringLiteral("*.xm"),
                          QStringLiteral("导入项目信息:操作完成！\n倒入成功1个文件\n倒入失败0个文件")}),
    CaseName<ImportCase>);

TEST_F(WindowTest, AnErrorOutOfTheBatchIsShownAndTheWindowStaysUsable)
{
    WriteConfig();
    const QString path = WriteUnitFile(QStringLiteral("u1.dw"), QStringLiteral("U01"));
    const QString database = Local(QStringLiteral("wenwu.mdb"));
    ASSERT_TRUE(QFile::remove(database));
    auto form = OpenWindow(sink);
    form->SetFileDialogRunner(Choose({path}));
    Click(*form, "Command1");
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("数据库文件不存在:") + database});

    CreateDatabase(database);
    Click(*form, "Command1");
    ASSERT_EQ(sink.messages.size(), 2);
    EXPECT_EQ(sink.messages[1], QStringLiteral("导入单位信息:操作完成！\n倒入成功1个文件\n倒入失败0个文件"));
}

TEST_F(WindowTest, AClickWhileWorkRunsIsIgnored)
{
    WriteConfig();
    auto form = OpenWindow(sink);
    int dialogs = 0;
    form->SetFileDialogRunner(
        [&](QFileDialog&)
        {
            ++dialogs;
            Click(*form, "Command2");
            return QStringList();
        });
    Click(*form, "Command1");
    EXPECT_EQ(dialogs, 1);
}

TEST_F(WindowTest, ClosingWhileWorkRunsClosesWhenItEnds)
{
    auto form = OpenWindow(sink);
    form->show();
    const QString config = temp.settings.AppFolder + QStringLiteral("config.pz");
    bool writtenDuringWork = true;
    form->SetFileDialogRunner(
        [&](QFileDialog&)
        {
            form->close();
            writtenDuringWork = QFile::exists(config);
            return QStringList();
        });
    Click(*form, "Command1");
    EXPECT_FALSE(writtenDuringWork);
    EXPECT_TRUE(QFile::exists(config));
    EXPECT_FALSE(form->isVisible());
}

// The operator closes the window while the second of three files is imported, and answers the
// question with stop (the window then closes) or go on (the batch ends and the window stays).
class CloseDuringImport : public WindowTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(CloseDuringImport, AsksAndStopsAfterTheFileInHandOnlyWhenTold)
{
    const bool stop = GetParam();
    WriteConfig();
    QStringList paths;
    for (const QString& name : {QStringLiteral("a.dw"), QStringLiteral("b.dw"), QStringLiteral("c.dw")})
        paths.append(WriteUnitFile(name, name.left(1)));
    RecordingQtSink window;
    auto form = OpenWindow(window);
    const QString config = temp.settings.AppFolder + QStringLiteral("config.pz");
    ASSERT_TRUE(QFile::remove(config));
    form->show();
    form->SetFileDialogRunner(Choose(paths));
    QStringList questions;
    form->SetQuestionRunner(
        [&](const QString& text)
        {
            questions.append(text);
            return stop;
        });
    window.onProgress = [&](int done)
    {
        if (done == 1)
            form->close();
    };
    Click(*form, "Command1");

    EXPECT_EQ(questions, QStringList{QStringLiteral(
                             "正在导入文件。停止导入并关闭窗口吗？\n正在导入的文件会先导入完毕。")});
    EXPECT_EQ(
        window.messages,
        QStringList{
            stop ? QStringLiteral(
                       "导入单位信息:操作完成！\n倒入成功1个文件\n倒入失败0个文件\n未处理2个文件\n操作已取消")
                 : QStringLiteral("导入单位信息:操作完成！\n倒入成功3个文件\n倒入失败0个文件")});
    EXPECT_EQ(form->isVisible(), !stop);
    EXPECT_EQ(QFile::exists(config), stop); // written at close only
}

INSTANTIATE_TEST_SUITE_P(Form1, CloseDuringImport, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& test)
                         { return std::string(test.param ? "Stop" : "GoOn"); });

TEST_F(WindowTest, ProgressReachesTheLastFile)
{
    WriteConfig();
    QStringList paths;
    for (const QString& name : {QStringLiteral("a.dw"), QStringLiteral("b.dw"), QStringLiteral("c.dw")})
        paths.append(WriteUnitFile(name, name.left(1)));
    RecordingQtSink window;
    auto form = OpenWindow(window);
    form->SetFileDialogRunner(Choose(paths));
    Click(*form, "Command1");

    EXPECT_EQ(window.steps, (QStringList{QStringLiteral("a.dw|0 / 3"), QStringLiteral("b.dw|1 / 3"),
                                         QStringLiteral("c.dw|2 / 3"), QStringLiteral("c.dw|3 / 3")}));
    for (const QWidget* widget : QApplication::topLevelWidgets())
    {
        if (qobject_cast<const QProgressDialog*>(widget))
        {
            EXPECT_FALSE(widget->isVisible());
            EXPECT_EQ(widget->windowTitle(), QStringLiteral("导入单位信息"));
        }
    }
}

TEST_F(WindowTest, Command4WritesBothWorkbooks)
{
    WriteConfig();
    for (const QString& title : {QStringLiteral("国家计委汇总表"), QStringLiteral("十一五资金需求汇总表")})
        ASSERT_TRUE(QFile::copy(QStringLiteral(CORVANE_TEMPLATE_DIR "/") + title + QStringLiteral(".xls"),
                                temp.settings.AppFolder + title + QStringLiteral(".xls")));
    auto form = OpenWindow(sink);
    Click(*form, "Command4");

    const QString day = QDate::currentDate().toString(QStringLiteral("MMdd"));
    const QString national = Local(QStringLiteral("国家计委汇总表") + day + QStringLiteral(".xls"));
    const QString fundDemand = Local(QStringLiteral("十一五资金需求汇总表") + day + QStringLiteral(".xls"));
    EXPECT_TRUE(QFile::exists(national));
    EXPECT_TRUE(QFile::exists(fundDemand));
    EXPECT_EQ(sink.messages,
              (QStringList{QStringLiteral("成功写入") + national, QStringLiteral("成功写入") + fundDemand}));
}

TEST_P(FolderButton, OkStoresTheOpenFolderWithASlash)
{
    WriteConfig();
    const QString out = temp.Folder() + QStringLiteral("out");
    QDir().mkpath(out);
    auto form = OpenWindow(sink);
    form->SetFolderDialogRunner(ChooseFolder(out, "OKButton"));
    Click(*form, GetParam().button);
    EXPECT_EQ(LabelText(*form), out + QLatin1Char('/'));
    EXPECT_EQ(Setting(*form), out + QLatin1Char('/'));
}

TEST_P(FolderButton, OkOnTheRootStoresItUnchanged)
{
    WriteConfig();
    auto form = OpenWindow(sink);
    form->SetFolderDialogRunner(ChooseFolder(QStringLiteral("/"), "OKButton"));
    Click(*form, GetParam().button);
    EXPECT_EQ(LabelText(*form), QStringLiteral("/"));
}

TEST_P(FolderButton, CancelChangesNothing)
{
    WriteConfig();
    auto form = OpenWindow(sink);
    const QString before = LabelText(*form);
    form->SetFolderDialogRunner(ChooseFolder(QStringLiteral("/"), "CancelButton"));
    Click(*form, GetParam().button);
    EXPECT_EQ(LabelText(*form), before);
    EXPECT_EQ(Setting(*form), before);
}

TEST_P(FolderButton, ClosingFromTheTitleBarChangesNothingAfterAnEarlierOk)
{
    WriteConfig();
    const QString out = temp.Folder() + QStringLiteral("out");
    QDir().mkpath(out);
    auto form = OpenWindow(sink);
    form->SetFolderDialogRunner(ChooseFolder(out, "OKButton"));
    Click(*form, GetParam().button);
    form->SetFolderDialogRunner(ChooseFolder(QStringLiteral("/"), nullptr));
    Click(*form, GetParam().button);
    EXPECT_EQ(LabelText(*form), out + QLatin1Char('/'));
    EXPECT_EQ(Setting(*form), out + QLatin1Char('/'));
}

INSTANTIATE_TEST_SUITE_P(Form1, FolderButton,
                         ::testing::Values(FolderCase{"ImportPath", "Command3", "Label3"},
                                           FolderCase{"LocalPath", "Command5", "Label4"}),
                         CaseName<FolderCase>);

// What the window says beside each folder at start.
struct StatusCase
{
    std::string name;
    std::function<void(const TempDatabase&)> spoil;
    QString importStatus;
    QString localStatus;
    bool offersDatabase;
    friend void PrintTo(const StatusCase& c, std::ostream* out) { *out << c.name; }
};

class FolderStatus : public WindowTest, public ::testing::WithParamInterface<StatusCase>
{
};

TEST_P(FolderStatus, IsShownBesideTheFolder)
{
    WriteConfig();
    GetParam().spoil(temp);
    auto form = OpenWindow(sink);
    form->show();
    EXPECT_EQ(Find<QLabel>(*form, "ImportPathStatus")->text(), GetParam().importStatus);
    EXPECT_EQ(Find<QLabel>(*form, "LocalPathStatus")->text(), GetParam().localStatus);
    EXPECT_EQ(Find<QPushButton>(*form, "CreateDatabase")->isVisible(), GetParam().offersDatabase);
    EXPECT_EQ(Find<QLabel>(*form, "Label4")->text(), temp.settings.LocalPath);
}

INSTANTIATE_TEST_SUITE_P(
    Form1, FolderStatus,
    ::testing::Values(StatusCase{"BothFine", [](const TempDatabase&) {}, QString(), QString(), false},
                      StatusCase{"ImportFolderGone",
                                 [](const TempDatabase& temp)
                                 { QDir(temp.settings.ImportPath).removeRecursively(); },
                                 QStringLiteral("文件夹不存在"), QString(), false},
                      StatusCase{"SaveFolderGone",
                                 [](const TempDatabase& temp)
                                 { QDir(temp.settings.LocalPath).removeRecursively(); },
                                 QString(), QStringLiteral("文件夹不存在"), false},
                      StatusCase{"NoDatabase",
                                 [](const TempDatabase& temp)
                                 { QFile::remove(temp.settings.LocalPath + QStringLiteral("wenwu.mdb")); },
                                 QString(), QStringLiteral("没有数据库wenwu.mdb"), true}),
    CaseName<StatusCase>);

TEST_F(WindowTest, CreatesTheMissingDatabaseWhenAsked)
{
    WriteConfig();
    const QString database = Local(QStringLiteral("wenwu.mdb"));
    ASSERT_TRUE(QFile::remove(database));
    auto form = OpenWindow(sink);
    form->show();
    Click(*form, "CreateDatabase");
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("已创建数据库") + database});
    EXPECT_EQ(Find<QLabel>(*form, "LocalPathStatus")->text(), QString());
    EXPECT_FALSE(Find<QPushButton>(*form, "CreateDatabase")->isVisible());
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from dic_corp_type")).isValid(), true);
}

TEST_F(WindowTest, AWiderWindowWidensTheFoldersAndElidesLongOnesInTheMiddle)
{
    temp.settings.LocalPath = temp.Folder() + QString(80, QLatin1Char('x')) + QStringLiteral("/") +
                              QString(80, QLatin1Char('y')) + QStringLiteral("/");
    QDir().mkpath(temp.settings.LocalPath);
    WriteConfig();
    auto form = OpenWindow(sink);
    form->show();
    auto* label4 = Find<QLabel>(*form, "Label4");
    const QRect before = label4->geometry();
    form->resize(form->width() + 200, form->height());
    EXPECT_EQ(label4->width(), before.width() + 200);
    EXPECT_EQ(Find<QPushButton>(*form, "Command5")->x(), 424 + 200);
    EXPECT_EQ(label4->text(), temp.settings.LocalPath);
    EXPECT_EQ(label4->toolTip(), temp.settings.LocalPath);
    EXPECT_NE(form->minimumWidth(), form->maximumWidth());
}

TEST_F(WindowTest, EnterPressesTheFocusedButton)
{
    WriteConfig();
    auto form = OpenWindow(sink);
    int choices = 0;
    form->SetFolderDialogRunner([&](frmFolder&) { ++choices; });
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Find<QPushButton>(*form, "Command3"), &enter);
    EXPECT_EQ(choices, 1);
}

// After a workbook is written the box offers to open its folder.
TEST_F(WindowTest, TheWrittenBoxOpensTheFolderOfTheWorkbook)
{
    QtMessageSink window;
    QUrl opened;
    window.SetUrlOpener([&](const QUrl& url) { opened = url; });
    QTimer::singleShot(0,
                       [&]
                       {
                           auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                           ASSERT_NE(box, nullptr);
                           EXPECT_TRUE(box->textInteractionFlags() & Qt::TextSelectableByMouse);
                           for (QAbstractButton* button : box->buttons())
                               if (button->text() == QStringLiteral("打开所在文件夹"))
                                   button->click();
                           if (box->isVisible())
                               box->done(0);
                       });
    window.Show(QStringLiteral("成功写入") + Local(QStringLiteral("国家计委汇总表1207.xls")));
    EXPECT_EQ(opened, QUrl::fromLocalFile(temp.Folder() + QStringLiteral("local")));
}

namespace
{
// Answers the window's boxes as they come up: notes each text, ticks 本批次不再逐个提示 on the
// box numbered quietAt (from 0), and presses the button captioned press where a box has it, else OK.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(QString press = QString(), int quietAt = -1)
        : m_press(std::move(press)), m_quietAt(quietAt)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Answer(); });
        m_timer.start();
    }
    QStringList texts;
    QList<bool> offeredQuiet;

private:
    void Answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts.append(box->text());
        offeredQuiet.append(box->checkBox() != nullptr);
        if (box->checkBox() && texts.size() - 1 == m_quietAt)
        {
            EXPECT_EQ(box->checkBox()->text(), QStringLiteral("本批次不再逐个提示(&Q)"));
            box->checkBox()->setChecked(true);
        }
        for (QAbstractButton* button : box->buttons())
            if (!m_press.isEmpty() && button->text() == m_press)
                return button->click();
        box->button(QMessageBox::Ok)->click();
    }

    QString m_press;
    int m_quietAt;
    QTimer m_timer;
};

// A batch of the window with files the import refuses: one imported, two with a value that is
// no number, one project file among the unit files.
class LedgerWindow : public WindowTest
{
protected:
    void SetUp() override { WriteConfig(); }
    QString WriteRefusedUnitFile(const QString& name, const QString& corpId, const QString& area) const
    {
        return temp.WriteFile(In(name), QStringLiteral("<CorpInfo><Basic><CorpID>%1</CorpID></Basic><Reserve>"
                                                       "<DepotArea>%2</DepotArea></Reserve></CorpInfo>")
                                            .arg(corpId, area)
                                            .toUtf8());
    }
    QStringList WriteBatch()
    {
        return {WriteUnitFile(QStringLiteral("a.dw"), QStringLiteral("U01")),
                WriteRefusedUnitFile(QStringLiteral("b.dw"), QStringLiteral("U02"), QStringLiteral("abc")),
                WriteProjectFile(QStringLiteral("c.xm")),
                WriteRefusedUnitFile(QStringLiteral("d.dw"), QStringLiteral("U04"), QStringLiteral("xyz"))};
    }
    // Runs the batch with the window's own sink, the boxes answered by answerer; the results
    // dialog, when one opens, is handed to look before it would be shown.
    void RunBatch(QtMessageSink& window, const std::function<void(ImportResultsDialog&)>& look = {})
    {
        auto form = OpenWindow(window);
        form->SetFileDialogRunner(Choose(WriteBatch()));
        form->SetLedgerDialogRunner(
            [&](QDialog& dialog)
            {
                auto* results = qobject_cast<ImportResultsDialog*>(&dialog);
                ASSERT_NE(results, nullptr);
                ++resultsShown;
                if (look)
                    look(*results);
            });
        Click(*form, "Command1");
    }
    static QStringList Column(const QList<QStringList>& rows, int column)
    {
        QStringList cells;
        for (const QStringList& row : rows)
            cells.append(row.value(column));
        return cells;
    }
    int resultsShown = 0;
};
} // namespace

TEST_F(LedgerWindow, TheSummaryOffersDetailsThatShowTheBatchsFiles)
{
    QtMessageSink window;
    BoxAnswerer answerer(QStringLiteral("查看详情(&D)"));
    QList<QStringList> rows;
    QString header;
    RunBatch(window,
             [&](ImportResultsDialog& results)
             {
                 rows = results.ShownRows();
                 header = results.HeaderText();
             });

    ASSERT_EQ(resultsShown, 1);
    ASSERT_EQ(answerer.texts.size(), 4) << answerer.texts.join('\n').toStdString();
    EXPECT_EQ(answerer.texts[3], QStringLiteral("导入单位信息:操作完成！\n倒入成功1个文件\n倒入失败3个文件"));
    EXPECT_EQ(Column(rows, 0), (QStringList{"a.dw", "b.dw", "c.xm", "d.dw"}));
    EXPECT_EQ(Column(rows, 2), (QStringList{"已导入", "导入失败", "类型不符", "导入失败"}));
    EXPECT_EQ(Column(rows, 3), (QStringList{"新增", "", "", ""}));
    EXPECT_EQ(Column(rows, 4).mid(1), answerer.texts.mid(0, 3));
    EXPECT_EQ(rows[0][1], QStringLiteral("U01"));
    EXPECT_TRUE(header.startsWith(QStringLiteral("单位信息导入  开始 "))) << header.toStdString();
    EXPECT_TRUE(header.endsWith(
        QStringLiteral("共4个文件：导入成功1个（新增1，更新0，未变化0），导入失败3个，未处理0个")))
        << header.toStdString();
}

TEST_F(LedgerWindow, TheSummaryWithoutDetailsOpensNothing)
{
    QtMessageSink window;
    BoxAnswerer answerer;
    RunBatch(window);
    EXPECT_EQ(answerer.texts.size(), 4);
    EXPECT_EQ(resultsShown, 0);
}

// What the operator does in the results and what the table then shows or copies.
struct ResultsCase
{
    std::string name;
    std::function<QString(ImportResultsDialog&)> act;
    QString expected;
    friend void PrintTo(const ResultsCase& c, std::ostream* out) { *out << c.name; }
};

class ResultsView : public LedgerWindow, public ::testing::WithParamInterface<ResultsCase>
{
};

TEST_P(ResultsView, ShowsOrCopies)
{
    QtMessageSink window;
    BoxAnswerer answerer(QStringLiteral("查看详情(&D)"));
    QString seen;
    RunBatch(window, [&](ImportResultsDialog& results) { seen = GetParam().act(results); });
    EXPECT_EQ(seen, GetParam().expected) << seen.toStdString();
}

namespace
{
QString Files(const ImportResultsDialog& results)
{
    QStringList names;
    for (const QStringList& row : results.ShownRows())
        names.append(row.value(0));
    return names.join(QLatin1Char(' '));
}
QTableView* Table(const ImportResultsDialog& results)
{
    return results.findChild<QTableView*>(QStringLiteral("ResultFiles"));
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    ImportResults, ResultsView,
    ::testing::Values(
        ResultsCase{"InBatchOrderAtFirst", [](ImportResultsDialog& r) { return Files(r); },
                    QStringLiteral("a.dw b.dw c.xm d.dw")},
        ResultsCase{"OnlyTheFilesNeedingAction",
                    [](ImportResultsDialog& r)
                    {
                        r.findChild<QCheckBox*>(QStringLiteral("OnlyNeedingAction"))->setChecked(true);
                        return Files(r);
                    },
                    QStringLiteral("b.dw c.xm d.dw")},
        ResultsCase{"SortedByAHeaderDescending",
                    [](ImportResultsDialog& r)
                    {
                        Table(r)->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
                        return Files(r);
                    },
                    QStringLiteral("d.dw c.xm b.dw a.dw")},
        ResultsCase{"SortedByResult",
                    [](ImportResultsDialog& r)
                    {
                        Table(r)->horizontalHeader()->setSortIndicator(2, Qt::AscendingOrder);
                        return Files(r).section(QLatin1Char(' '), 0, 0);
                    },
                    QStringLiteral("b.dw")},
        ResultsCase{"CopyTakesTheSelectedRowsTabSeparated",
                    [](ImportResultsDialog& r)
                    {
                        Table(r)->selectRow(0);
                        r.findChild<QPushButton*>(QStringLiteral("CopyButton"))->click();
                        return QApplication::clipboard()->text();
                    },
                    QStringLiteral("文件\t单位\t结果\t变化\t原因\na.dw\tU01\t已导入\t新增\t已导入\n")},
        ResultsCase{
            "CopyMakesAMessagesLineBreaksSpaces",
            [](ImportResultsDialog& r)
            {
                Table(r)->selectRow(2);
                // The path of the file is the temporary folder's.
                return r.CopiedText()
                    .section(QLatin1Char('\n'), 1)
                    .replace(QRegularExpression(QStringLiteral(":/\\S*/c.xm")), QStringLiteral(":c.xm"));
            },
            QStringLiteral("c.xm\t\t类型不符\t\t不是单位信息文件:c.xm 这是项目信息文件 (根元素 <Report>)\n")},
        ResultsCase{"TheDetailPaneHoldsTheElementAndValue",
                    [](ImportResultsDialog& r)
                    {
                        Table(r)->selectRow(1);
                        return r.findChild<QPlainTextEdit*>(QStringLiteral("FileMessages"))->toPlainText();
                    },
                    QStringLiteral("导入单位U02信息失败:Reserve/DepotArea 的值 \"abc\" 不是数字\n"
                                   "    元素：Reserve/DepotArea\n    值：abc")}),
    CaseName<ResultsCase>);

// A file with messages about values: each one with its element and value, in order.
TEST(ImportResults, TheDetailPaneShowsEveryMessageWithItsElementAndValue)
{
    LedgerFile file;
    file.name = QStringLiteral("b.dw");
    file.outcome = QStringLiteral("failed");
    file.messages = {
        {QStringLiteral("第一条"), {QStringLiteral("//CorpInfo/Basic/Type"), QStringLiteral("99")}},
        {QStringLiteral("第二条"), {}}};
    RecordingSink sink;
    ImportResultsDialog results(LedgerBatch{}, {file}, QString(), QString(), sink);
    EXPECT_EQ(results.findChild<QPlainTextEdit*>(QStringLiteral("FileMessages"))->toPlainText(),
              QStringLiteral("第一条\n    元素：//CorpInfo/Basic/Type\n    值：99\n\n第二条"));
    EXPECT_EQ(results.ShownRows().value(0).value(4), QStringLiteral("第一条"));
}

TEST_F(LedgerWindow, TickingQuietCountsTheBatchsLaterMessagesInItsSummary)
{
    QtMessageSink window;
    BoxAnswerer answerer(QStringLiteral("查看详情(&D)"), 0);
    QString header;
    RunBatch(window, [&](ImportResultsDialog& results) { header = results.HeaderText(); });

    ASSERT_EQ(answerer.texts.size(), 2) << answerer.texts.join('\n').toStdString();
    EXPECT_EQ(answerer.texts[1], QStringLiteral("导入单位信息:操作完成！\n倒入成功1个文件\n倒入失败3个文件\n"
                                                "另有2条消息未逐个提示"));
    EXPECT_EQ(answerer.offeredQuiet, (QList<bool>{true, false}));
    EXPECT_TRUE(header.endsWith(QStringLiteral("，另有2条消息未逐个提示"))) << header.toStdString();
}

TEST_F(LedgerWindow, TheNextBatchShowsItsMessagesAgain)
{
    QtMessageSink window;
    {
        BoxAnswerer quiet(QString(), 0);
        RunBatch(window);
    }
    BoxAnswerer answerer;
    RunBatch(window);
    ASSERT_EQ(answerer.texts.size(), 4) << answerer.texts.join('\n').toStdString();
    EXPECT_EQ(answerer.texts[3], QStringLiteral("导入单位信息:操作完成！\n倒入成功1个文件\n倒入失败3个文件"));
    EXPECT_EQ(answerer.offeredQuiet, (QList<bool>{true, true, true, false}));
}

TEST_F(LedgerWindow, TheImportRecordListsBatchesNewestFirstAndOpensOne)
{
    auto form = OpenWindow(sink);
    form->SetFileDialogRunner(Choose({WriteUnitFile(QStringLiteral("a.dw"), QStringLiteral("U01"))}));
    Click(*form, "Command1");
    form->SetFileDialogRunner(Choose({WriteProjectFile(QStringLiteral("p.xm"))}));
    Click(*form, "Command2");
    QList<QStringList> rows;
    QString opened;
    form->SetLedgerDialogRunner(
        [&](QDialog& dialog)
        {
            if (auto* list = qobject_cast<ImportHistoryDialog*>(&dialog))
            {
                rows = list->Rows();
                list->OpenRow(1);
            }
            else if (auto* results = qobject_cast<ImportResultsDialog*>(&dialog))
                opened = results->ShownRows().value(0).value(0);
        });
    Click(*form, "ImportHistory");

    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].mid(1, 8), (QStringList{"项目信息", "1", "1", "0", "0", "1", "0", "0"}));
    EXPECT_EQ(rows[1].mid(1, 8), (QStringList{"单位信息", "1", "1", "0", "0", "1", "0", "0"}));
    // Local time, as the clock on the wall.
    EXPECT_LE(qAbs(QDateTime::fromString(rows[0][0], QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                       .secsTo(QDateTime::currentDateTime())),
              60);
    EXPECT_EQ(opened, QStringLiteral("a.dw"));
}

// An export that fails (here: no template beside the program) is told in a box; the results stay.
class FailedExport : public LedgerWindow, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(FailedExport, IsShownAndTheResultsStay)
{
    auto form = OpenWindow(sink);
    form->SetFileDialogRunner(Choose(WriteBatch()));
    Click(*form, "Command1");
    const QString out = temp.Folder() + QStringLiteral("out");
    QDir().mkpath(out);
    bool stillOpen = false;
    form->SetLedgerDialogRunner(
        [&](QDialog& dialog)
        {
            auto* list = qobject_cast<ImportHistoryDialog*>(&dialog);
            if (list)
                return list->OpenRow(0);
            auto& results = static_cast<ImportResultsDialog&>(dialog);
            results.SetFileDialogRunner([&](QFileDialog&)
                                        { return QStringList{out + QStringLiteral("/导入结果.xls")}; });
            results.SetFolderDialogRunner(ChooseFolder(out, "OKButton"));
            results.show();
            Click(results, GetParam());
            stillOpen = results.isVisible();
        });
    sink.messages.clear();
    Click(*form, "ImportHistory");

    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_FALSE(sink.messages[0].startsWith(QStringLiteral("成功写入"))) << sink.messages[0].toStdString();
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(QDir(out).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(ImportResults, FailedExport,
                         ::testing::Values("ExportButton", "ExportPerUnitButton"),
                         [](const ::testing::TestParamInfo<const char*>& test)
                         { return std::string(test.param); });

// Each unit's workbook is named in the one box, one path to a line, all in the chosen folder.
TEST_F(LedgerWindow, ExportPerUnitNamesEveryWorkbookWritten)
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(CORVANE_TEMPLATE_DIR "/导入结果.xls"),
                            temp.settings.AppFolder + QStringLiteral("导入结果.xls")));
    QtMessageSink window;
    BoxAnswerer answerer(QStringLiteral("查看详情(&D)"));
    const QString out = temp.Folder() + QStringLiteral("out");
    QDir().mkpath(out);
    RunBatch(window,
             [&](ImportResultsDialog& results)
             {
                 results.SetFolderDialogRunner(ChooseFolder(out, "OKButton"));
                 results.show();
                 Click(results, "ExportPerUnitButton");
             });

    ASSERT_EQ(answerer.texts.size(), 5) << answerer.texts.join('\n').toStdString();
    ASSERT_TRUE(answerer.texts[4].startsWith(QStringLiteral("成功写入"))) << answerer.texts[4].toStdString();
    const QStringList paths = answerer.texts[4].mid(4).split(QLatin1Char('\n'));
    QStringList written;
    for (const QString& name : QDir(out).entryList(QDir::Files))
        written.append(out + QLatin1Char('/') + name);
    EXPECT_GE(paths.size(), 2);
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()), QSet<QString>(written.begin(), written.end()));
}
