#pragma once

#include "services/MessageSink.h"

#include <QPointer>

class QProgressBar;
class QWidget;
class WorkProgressDialog;

// The window's sink. A message is a modal box over the owner: OK only, no icon, the owner's
// window title (the program's). Long work shows a progress dialog with the step and "n / total"
// once it has taken a moment; the window repaints meanwhile. There is no cancel.
class QtMessageSink : public MessageSink
{
public:
    explicit QtMessageSink(QWidget* owner = nullptr);
    ~QtMessageSink() override;
    QtMessageSink(const QtMessageSink&) = delete;
    QtMessageSink& operator=(const QtMessageSink&) = delete;

    void Show(const QString& text) override;
    void Progress(const QString& step, int done, int total) override;

    // The progress dialog's step text and "n / total", while or after work reports.
    QString ProgressStep() const;
    QString ProgressCount() const;

private:
    QString Title() const;

    QWidget* m_owner;
    QPointer<WorkProgressDialog> m_dialog;
    QProgressBar* m_bar = nullptr;
};
