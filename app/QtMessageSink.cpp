#include "app/QtMessageSink.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>

namespace
{
// Short work ends before the dialog would only flash.
const int kShowAfterMs = 500;
// Room for a long file name beside the bar's width.
const int kDialogWidth = 360;
} // namespace

// Qt shows a progress dialog from a timer once work takes long; work that has already ended
// must not bring it up again.
class WorkProgressDialog : public QProgressDialog
{
public:
    using QProgressDialog::QProgressDialog;
    void setVisible(bool visible) override { QProgressDialog::setVisible(visible && !finished); }
    bool finished = true;
};

QtMessageSink::QtMessageSink(QWidget* owner) : m_owner(owner) {}

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
    QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok, m_owner);
    // XML error texts may hold "<": never read a message as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtMessageSink::Progress(const QString& step, int done, int total)
{
    if (!m_dialog)
    {
        m_dialog = new WorkProgressDialog(m_owner);
        m_dialog->setObjectName(QStringLiteral("ProgressDialog"));
        m_dialog->setWindowTitle(Title());
        m_dialog->setCancelButton(nullptr);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->setMinimumDuration(kShowAfterMs);
        m_dialog->setMinimumWidth(kDialogWidth);
        m_bar = new QProgressBar(m_dialog);
        m_bar->setFormat(QStringLiteral("%v / %m"));
        m_bar->setAlignment(Qt::AlignCenter);
        m_dialog->setBar(m_bar);
    }
    if (m_dialog->finished || total != m_dialog->maximum())
    {
        m_dialog->finished = false;
        m_dialog->reset();
        m_dialog->setRange(0, total);
    }
    if (!step.isEmpty())
        m_dialog->setLabelText(step);
    const bool ending = done >= total;
    m_dialog->finished = ending; // before the value, which may otherwise show the dialog now
    m_dialog->setValue(qMin(done, total));
    if (ending)
        m_dialog->hide();
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
