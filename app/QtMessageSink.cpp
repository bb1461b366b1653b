#include "app/QtMessageSink.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>

namespace
{
// Short work ends before the dialog would only flash.
const int kShowAfterMs = 500;
// Room for a long file name beside the bar's width.
const int kDialogWidth = 360;
const char kWritten[] = "成功写入";
// The first lines of the two imports' summaries.
const char* const kSummaryTitles[] = {"导入单位信息:操作完成！", "导入项目信息:操作完成！"};

bool IsImportSummary(const QString& text)
{
    for (const char* title : kSummaryTitles)
        if (text.startsWith(QString::fromUtf8(title)))
            return true;
    return false;
}
} // namespace

// Qt shows a progress dialog from a timer once work takes long; work that has already ended
// must not bring it up again, nor may it come up over a message box. 取消, Esc and the title
// bar's × only ask the work to stop: the dialog stays until the work has ended.
class WorkProgressDialog : public QProgressDialog
{
public:
    explicit WorkProgressDialog(QWidget* parent) : QProgressDialog(parent)
    {
        disconnect(this, &QProgressDialog::canceled, this, &QProgressDialog::cancel);
    }
    void setVisible(bool visible) override
    {
        if (visible && suspended)
            showWhenResumed = !finished;
        else
            QProgressDialog::setVisible(visible && !finished);
    }
    void reject() override { emit canceled(); }
    bool finished = true;
    bool suspended = false;
    bool showWhenResumed = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        emit canceled();
        event->ignore();
    }
};

QtMessageSink::QtMessageSink(QWidget* owner)
    : m_owner(owner), m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
}

QtMessageSink::~QtMessageSink()
{
    delete m_dialog.data();
}

QString QtMessageSink::Title() const
{
    return m_owner ? m_owner->window()->windowTitle() : QString();
}

void QtMessageSink::Show(const QString& text)
{
    if (m_inBatch && m_quiet)
    {
        ++m_unshown;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok, m_owner);
    // XML error texts may hold "<": never read a message as markup.
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.setDefaultButton(QMessageBox::Ok);
    QPushButton* openFolder = nullptr;
    if (text.startsWith(QString::fromUtf8(kWritten)))
        openFolder = box.addButton(QStringLiteral("打开所在文件夹"), QMessageBox::ActionRole);
    QPushButton* details = nullptr;
    if (IsImportSummary(text))
        details = box.addButton(QStringLiteral("查看详情(&D)"), QMessageBox::ActionRole);
    QCheckBox* quiet = nullptr;
    if (m_inBatch)
    {
        quiet = new QCheckBox(QStringLiteral("本批次不再逐个提示(&Q)"), &box);
        quiet->setObjectName(QStringLiteral("QuietCheckBox"));
        box.setCheckBox(quiet);
    }
    Exec(box);
    if (quiet && quiet->isChecked())
        m_quiet = true;
    if (details && box.clickedButton() == details)
        m_detailsAsked = true;
    if (openFolder && box.clickedButton() == openFolder)
    {
        // Several workbooks are named one to a line, all in one folder.
        const QString first = text.mid(QString::fromUtf8(kWritten).size()).section(QLatin1Char('\n'), 0, 0);
        m_openUrl(QUrl::fromLocalFile(QFileInfo(first).absolutePath()));
    }
}

int QtMessageSink::Exec(QDialog& box)
{
    // A progress dialog over the box would take its keys and clicks: it waits until the box is
    // answered, also when its delay runs out meanwhile.
    const QPointer<WorkProgressDialog> progress = m_dialog;
    if (progress)
    {
        progress->showWhenResumed = progress->isVisible();
        progress->suspended = true;
        progress->QProgressDialog::setVisible(false);
    }
    const int result = box.exec();
    if (progress)
    {
        progress->suspended = false;
        if (std::exchange(progress->showWhenResumed, false))
            progress->show();
    }
    return result;
}

void QtMessageSink::Progress(const QString& step, int done, int total)
{
    if (!m_dialog)
    {
        m_dialog = new WorkProgressDialog(m_owner);
        m_dialog->setObjectName(QStringLiteral("ProgressDialog"));
        // Not modal: the main window's × must reach it during work, to offer to stop.
        m_dialog->setWindowModality(Qt::NonModal);
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->setMinimumDuration(kShowAfterMs);
        m_dialog->setMinimumWidth(kDialogWidth);
        m_bar = new QProgressBar(m_dialog);
        m_bar->setFormat(QStringLiteral("%v / %m"));
        m_bar->setAlignment(Qt::AlignCenter);
        m_dialog->setBar(m_bar);
        QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog,
                         [this]
                         {
                             m_cancelled = true;
                             m_dialog->setLabelText(QStringLiteral("正在取消，当前文件完成后停止"));
                         });
    }
    if (m_dialog->finished || total != m_dialog->maximum())
    {
        if (m_dialog->finished)
        {
            m_cancelled = false;
            m_dialog->setWindowTitle(m_workTitle.isEmpty() ? Title() : m_workTitle);
            m_dialog->setCancelButtonText(m_cancellable ? QStringLiteral("取消") : QString());
        }
        m_dialog->finished = false;
        m_dialog->reset();
        m_dialog->setRange(0, total);
    }
    if (!step.isEmpty() && !m_cancelled)
        m_dialog->setLabelText(step);
    const bool ending = done >= total;
    m_dialog->finished = ending; // before the value, which may otherwise show the dialog now
    m_dialog->setValue(qMin(done, total));
    if (ending)
    {
        m_dialog->hide();
        m_inBatch = false; // the summary comes next, and is always shown
    }
    // The batch holds the only thread: let the window repaint between steps. A click that comes
    // through meanwhile finds the window busy.
    QCoreApplication::processEvents();
}

QString QtMessageSink::ProgressStep() const
{
    return m_dialog ? m_dialog->labelText() : QString();
}

QString QtMessageSink::ProgressCount() const
{
    return m_bar ? m_bar->text() : QString();
}
