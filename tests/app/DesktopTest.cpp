// The window on a real X server with a window manager, driven from outside with xdotool as an
// operator would: boxes must be on top, focused and answerable. Each state is photographed into
// the test's folder (or $CORVANE_SCREENSHOTS). Run by tests/app/x-session.sh.
#include "WindowFixture.h"

#include "app/ImportResultsDialog.h"
#include "app/QtMessageSink.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QScreen>
#include <QTableView>
#include <QThread>
#include <QTimer>

#include <vector>

namespace
{
// The window's own sink, its boxes shown for real and their texts kept; each step of work takes
// a while, as with large files.
class SlowWindowSink : public QtMessageSink
{
public:
    SlowWindowSink(int stepMs) : m_stepMs(stepMs) {}
    void Show(const QString& text) override
    {
        messages.append(text);
        QtMessageSink::Show(text);
    }
    void Progress(const QString& step, int done, int total) override
    {
        QtMessageSink::Progress(step, done, total);
        if (done < total)
            QThread::msleep(unsigned(m_stepMs));
    }
    QStringList messages;

private:
    int m_stepMs;
};

// What the operator does, one step after another, each once its condition has held for a
// moment. The window's work holds the test's thread, so the steps run from a timer.
class Operator
{
public:
    struct Step
    {
        QString what;
        std::function<bool()> ready;
        std::function<void()> act;
        int settleMs = 300;
    };

    explicit Operator(std::vector<Step> steps) : m_steps(std::move(steps))
    {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
        m_clock.start();
    }
    // The step that never came, empty when all were done.
    QString Stuck() const { return m_next < m_steps.size() ? m_steps[m_next].what : QString(); }
    // Lets the operator work while the test's thread has nothing else to do.
    void Wait() const
    {
        while (!m_givenUp && m_next < m_steps.size())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

private:
    void Poll()
    {
        if (m_next >= m_steps.size())
            return m_timer.stop();
        Step& step = m_steps[m_next];
        if (m_givenUp || m_clock.elapsed() > kGiveUpMs)
        {
            // Free the test's thread, now and from every later box, so that it fails instead of
            // hanging.
            m_givenUp = true;
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->done(0);
            return;
        }
        if (!step.ready())
        {
            m_readySince.invalidate();
            return;
        }
        if (!m_readySince.isValid())
            m_readySince.start();
        if (m_readySince.elapsed() < step.settleMs)
            return;
        m_readySince.invalidate();
        step.act();
        m_clock.restart();
        ++m_next;
    }

    static constexpr qint64 kGiveUpMs = 15000;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    bool m_givenUp = false;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QElapsedTimer m_readySince;
};

void Xdotool(const QStringList& arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

void PressEnterNow()
{
    Xdotool({QStringLiteral("key"), QStringLiteral("Return")});
}

QMessageBox* OpenBox()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box && box->isVisible() ? box : nullptr;
}

QProgressDialog* ShownProgress()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QProgressDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

class Desktop : public WindowTest
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server: run through x-session.sh";
        WriteConfig();
        shots = qEnvironmentVariable("CORVANE_SCREENSHOTS", temp.Folder() + QStringLiteral("screenshots"));
        QDir().mkpath(shots);
    }
    std::unique_ptr<Form1> ShowWindow(QtMessageSink& window)
    {
        auto form = OpenWindow(window);
        form->show();
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        return form;
    }
    QStringList WriteUnits(int count)
    {
        QStringList paths;
        for (int i = 1; i <= count; ++i)
            paths.append(WriteUnitFile(QStringLiteral("u%1.dw").arg(i, 2, 10, QLatin1Char('0')),
                                       QStringLiteral("U%1").arg(i)));
        return paths;
    }
    // The whole screen as the operator sees it.
    std::function<void()> Photo(const QString& name, std::function<void()> then = {})
    {
        return [this, name, then]
        {
            QGuiApplication::primaryScreen()->grabWindow(0).save(shots + QLatin1Char('/') + name);
            if (then)
                then();
        };
    }
    // One window with the window manager's frame, as the README shows it.
    void PhotoOf(const QWidget& window, const QString& name) const
    {
        const QRect frame = window.frameGeometry();
        QGuiApplication::primaryScreen()
            ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
            .save(shots + QLatin1Char('/') + name);
    }
    static void ClickWidget(const QWidget& widget)
    {
        const QPoint centre = widget.mapToGlobal(widget.rect().center());
        Xdotool({QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y()),
                 QStringLiteral("click"), QStringLiteral("1")});
    }
    static std::function<void()> PressEnter()
    {
        return [] { Xdotool({QStringLiteral("key"), QStringLiteral("Return")}); };
    }
    static std::function<void()> ClickOn(const QString& caption)
    {
        return [caption]
        {
            QProgressDialog* dialog = ShownProgress();
            if (!dialog)
                return;
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                if (button->text() == caption)
                {
                    const QPoint centre = button->mapToGlobal(button->rect().center());
                    Xdotool({QStringLiteral("mousemove"), QString::number(centre.x()),
                             QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")});
                }
        };
    }
    static Operator::Step BoxStep(const QString& what, std::function<void()> act, int settleMs = 300)
    {
        return {what, [] { return OpenBox() != nullptr; }, std::move(act), settleMs};
    }
    int Moved() const
    {
        return int(QDir(temp.settings.LocalPath).entryList({QStringLiteral("*.dw")}, QDir::Files).size());
    }
    QString UnitSummary(int imported, int unprocessed) const
    {
        return QStringLiteral("导入单位信息:操作完成！\n倒入成功%1个文件\n倒入失败0个文件\n未处理%2个文件")
            .arg(imported)
            .arg(unprocessed);
    }

    void CloseDuringImport(bool early);
    // Lets the window paint what the last step changed.
    static void Settle(int ms = 300)
    {
        QElapsedTimer painted;
        painted.start();
        while (painted.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    static QAbstractButton* BoxButton(const QString& caption)
    {
        if (QMessageBox* box = OpenBox())
            for (QAbstractButton* button : box->buttons())
                if (button->text() == caption)
                    return button;
        return nullptr;
    }

    QString shots;
};

// The box comes before the progress dialog's delay has passed and stays past it.
TEST_F(Desktop, AnEarlyErrorBoxIsAnsweredByEnter)
{
    const QString bad = temp.WriteFile(In(QStringLiteral("bad.dw")), QByteArrayLiteral("<CorpInfo>"));
    QStringList paths{bad};
    paths += WriteUnits(1);
    SlowWindowSink window(0);
    auto form = ShowWindow(window);
    form->SetFileDialogRunner(Choose(paths));
    Operator operatorAtWork(
        {BoxStep(QStringLiteral("the error box"), Photo(QStringLiteral("error-box.png"), PressEnter()), 1500),
         BoxStep(QStringLiteral("the summary"), Photo(QStringLiteral("summary.png"), PressEnter()))});
    Click(*form, "Command1");

    EXPECT_EQ(operatorAtWork.Stuck().toStdString(), "");
    ASSERT_EQ(window.messages.size(), 2);
    EXPECT_TRUE(window.messages[0].startsWith(QStringLiteral("无法打开指定文件") + bad));
    EXPECT_EQ(window.messages[1], UnitSummary(0, 2));
}

TEST_F(Desktop, CancelStopsTheBatchAfterTheFileInHand)
{
    const QStringList paths = WriteUnits(40);
    SlowWindowSink window(100);
    auto form = ShowWindow(window);
    form->SetFileDialogRunner(Choose(paths));
    Operator operatorAtWork(
        {{QStringLiteral("the progress dialog"), [] { return ShownProgress() != nullptr; },
          Photo(QStringLiteral("progress.png"), ClickOn(QStringLiteral("取消")))},
         BoxStep(QStringLiteral("the summary"), Photo(QStringLiteral("cancelled.png"), PressEnter()))});
    Click(*form, "Command1");

    EXPECT_EQ(operatorAtWork.Stuck().toStdString(), "");
    const int imported = Moved();
    EXPECT_GT(imported, 0);
    EXPECT_LT(imported, 35);
    EXPECT_EQ(window.messages,
              QStringList{UnitSummary(imported, 40 - imported) + QStringLiteral("\n操作已取消")});
    EXPECT_EQ(temp.Scalar(QStringLiteral("select count(*) from dat_corp_info")).toInt(), imported);
}

// The operator clicks the window's × during an import, after the progress dialog came up or
// (early) before its delay has passed, and the question stays up past that delay; Enter stops.
void Desktop::CloseDuringImport(bool early)
{
    const QStringList paths = WriteUnits(40);
    SlowWindowSink window(100);
    auto form = ShowWindow(window);
    form->SetFileDialogRunner(Choose(paths));
    const QString prefix = early ? QStringLiteral("early-") : QString();
    QString question;
    Operator operatorAtWork(
        {{QStringLiteral("the import"),
          [&form, early]
          { return early ? !Find<QPushButton>(*form, "Command1")->isEnabled() : ShownProgress() != nullptr; },
          Photo(prefix + QStringLiteral("working.png"),
                [&form]
                {
                    // The × at the right end of the window manager's title bar.
                    const QRect frame = form->frameGeometry();
                    const QPoint close(frame.right() - 10, (frame.top() + form->geometry().top()) / 2);
                    Xdotool({QStringLiteral("mousemove"), QString::number(close.x()),
                             QString::number(close.y()), QStringLiteral("click"), QStringLiteral("1")});
                }),
          early ? 0 : 300},
         BoxStep(QStringLiteral("the question"),
                 Photo(prefix + QStringLiteral("stop-question.png"),
                       [&question]
                       {
                           question = OpenBox()->text();
                           PressEnterNow();
                       }),
                 early ? 1500 : 300),
         BoxStep(QStringLiteral("the summary"),
                 Photo(prefix + QStringLiteral("stopped.png"), PressEnterNow))});
    Click(*form, "Command1");

    EXPECT_EQ(operatorAtWork.Stuck().toStdString(), "");
    EXPECT_EQ(question, QStringLiteral("正在导入文件。停止导入并关闭窗口吗？\n正在导入的文件会先导入完毕。"));
    const int imported = Moved();
    EXPECT_LT(imported, 35);
    EXPECT_EQ(window.messages,
              QStringList{UnitSummary(imported, 40 - imported) + QStringLiteral("\n操作已取消")});
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(QFile::exists(temp.settings.AppFolder + QStringLiteral("config.pz")));
}

TEST_F(Desktop, ClosingDuringAnImportAsksThenStopsAndCloses)
{
    CloseDuringImport(false);
}

TEST_F(Desktop, ClosingEarlyInAnImportAsksAboveTheProgressDialog)
{
    CloseDuringImport(true);
}

// The chooser opened with a click; Enter takes the open folder, not the highlighted one.
TEST_F(Desktop, TheFolderChooserTakesTheOpenFolderOnEnter)
{
    const QString out = temp.Folder() + QStringLiteral("out");
    QDir().mkpath(out + QStringLiteral("/sub"));
    temp.settings.LocalPath = out + QLatin1Char('/');
    WriteConfig();
    QDir().mkpath(temp.Folder() + QStringLiteral("local"));
    SlowWindowSink window(0);
    auto form = ShowWindow(window);
    PhotoOf(*form, QStringLiteral("window.png"));
    const auto chooser = [&form] { return form->findChild<frmFolder*>(); };
    Operator operatorAtWork(
        {{QStringLiteral("the window"), [] { return true; },
          [&form] { ClickWidget(*Find<QPushButton>(*form, "Command5")); }},
         {QStringLiteral("the chooser"),
          [&] { return chooser() && chooser()->isVisible() && chooser()->isActiveWindow(); },
          [&]
          {
              EXPECT_TRUE(chooser()->OpenFolder(out + QStringLiteral("/sub")));
              QElapsedTimer painted;
              painted.start();
              while (painted.elapsed() < 300)
                  QApplication::processEvents(QEventLoop::AllEvents, 50);
              PhotoOf(*chooser(), QStringLiteral("folder-chooser.png"));
              // The highlight moves off the open folder; Enter still takes the open one.
              Xdotool({QStringLiteral("key"), QStringLiteral("Up")});
              PressEnter()();
          }},
         {QStringLiteral("the chooser closed"), [&] { return !chooser()->isVisible(); }, [] {}}});
    operatorAtWork.Wait();

    EXPECT_EQ(operatorAtWork.Stuck().toStdString(), "");
    EXPECT_EQ(Find<QLabel>(*form, "Label4")->text(), out + QStringLiteral("/sub/"));
}
// A batch with refused files: the operator silences its messages after the first, opens the
// results from the summary, copies the selected row with Ctrl+C and exports the refused files into
// one workbook.
TEST_F(Desktop, TheSummaryOpensTheResultsWhichExportTheRefusedFiles)
{
    QFile::copy(QStringLiteral(CORVANE_TEMPLATE_DIR "/导入结果.xls"),
                temp.settings.AppFolder + QStringLiteral("导入结果.xls"));
    const auto refused = [this](const QString& name, const QString& corpId)
    {
        return temp.WriteFile(In(name), QStringLiteral("<CorpInfo><Basic><CorpID>%1</CorpID></Basic><Reserve>"
                                                       "<DepotArea>abc</DepotArea></Reserve></CorpInfo>")
                                            .arg(corpId)
                                            .toUtf8());
    };
    QStringList paths = WriteUnits(1);
    paths +=
        {refused(QStringLiteral("u02.dw"), QStringLiteral("U2")), WriteProjectFile(QStringLiteral("p.xm")),
         refused(QStringLiteral("u04.dw"), QStringLiteral("U4"))};
    SlowWindowSink window(0);
    auto form = ShowWindow(window);
    form->SetFileDialogRunner(Choose(paths));
    const QString exported = temp.Folder() + QStringLiteral("导入结果.xls");
    QString offeredName;
    ImportResultsDialog* results = nullptr;
    form->SetLedgerDialogRunner(
        [&](QDialog& dialog)
        {
            results = qobject_cast<ImportResultsDialog*>(&dialog);
            ASSERT_NE(results, nullptr);
            results->SetFileDialogRunner(
                [&](QFileDialog& save)
                {
                    offeredName = QFileInfo(save.selectedFiles().value(0)).fileName();
                    return QStringList{exported};
                });
            dialog.exec();
            results = nullptr;
        });
    const auto resultsUp = [&] { return results && results->isActiveWindow() && !OpenBox(); };
    QString exportBox;
    Operator operatorAtWork(
        {BoxStep(QStringLiteral("the first refused file"), [] { ClickWidget(*OpenBox()->checkBox()); }),
         {QStringLiteral("the box ticked"), [] { return OpenBox() && OpenBox()->checkBox()->isChecked(); },
          PressEnterNow},
         {QStringLiteral("the summary"), [] { return BoxButton(QStringLiteral("查看详情(&D)")) != nullptr; },
          Photo(QStringLiteral("summary-details.png"),
                [] { ClickWidget(*BoxButton(QStringLiteral("查看详情(&D)"))); })},
         {QStringLiteral("the results"), resultsUp,
          [&]
          {
              results->findChild<QTableView*>(QStringLiteral("ResultFiles"))->selectRow(1);
              Settle();
              PhotoOf(*results, QStringLiteral("results-view.png"));
              results->findChild<QTableView*>(QStringLiteral("ResultFiles"))->setFocus();
              Xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")});
              ClickWidget(*results->findChild<QPushButton*>(QStringLiteral("ExportButton")));
          }},
         BoxStep(QStringLiteral("the export's box"), Photo(QStringLiteral("exported.png"),
                                                           [&]
                                                           {
                                                               exportBox = OpenBox()->text();
                                                               PressEnterNow();
                                                           })),
         {QStringLiteral("the results again"), resultsUp, [] {
              Xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
          }}});
    Click(*form, "Command1");

    EXPECT_EQ(operatorAtWork.Stuck().toStdString(), "");
    // Those not shown are kept by the sink all the same.
    ASSERT_EQ(window.messages.size(), 5) << window.messages.join('\n').toStdString();
    EXPECT_EQ(window.messages[3], QStringLiteral("导入单位信息:操作完成！\n倒入成功1个文件\n倒入失败3个文件\n"
                                                 "另有2条消息未逐个提示"));
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("文件\t单位\t结果\t变化\t原因\nu02.dw\tU2\t导入失败\t\t"
                             "导入单位U2信息失败:Reserve/DepotArea 的值 \"abc\" 不是数字\n"));
    EXPECT_TRUE(offeredName.startsWith(QStringLiteral("导入结果-"))) << offeredName.toStdString();
    // The workbook itself comes from the export's own change.
    EXPECT_EQ(exportBox, QStringLiteral("成功写入") + exported);
    EXPECT_TRUE(QFile::exists(exported));
}
} // namespace
