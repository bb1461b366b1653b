#pragma once

#include "services/MessageSink.h"

#include <QPointer>
#include <QUrl>

#include <functional>
#include <utility>

class QDialog;
class QProgressBar;
class QWidget;
class WorkProgressDialog;

// The window's sink. A message is a modal box over the owner: OK only, no icon, the owner's
// window title (the program's), its text selectable; after "成功写入" a second button opens the
// written file's folder (the first named), and an import's summary offers 查看详情. During an import
// batch each box offers 本批次不再逐个提示: once ticked, the batch's later messages are only
// counted (Unshown), up to its summary, which is always shown. Long work shows a progress dialog with the
// step, "n / total" and a 取消 button once it has taken a moment; the window repaints meanwhile. While a box
// is up the progress dialog is hidden, so that it can never cover the box.
class QtMessageSink : public MessageSink
{
public:
    explicit QtMessageSink(QWidget* owner = nullptr);
    ~QtMessageSink() override;
    QtMessageSink(const QtMessageSink&) = delete;
    QtMessageSink& operator=(const QtMessageSink&) = delete;

    void Show(const QString& text) override;
    void Progress(const QString& step, int done, int total) override;
    int Unshown() const override { return m_unshown; }
    // True after 取消 (or closing the progress dialog) until the next work starts.
    bool Cancelled() override { return m_cancelled; }

    // Runs a modal box of the window's own with the progress dialog out of its way.
    int Exec(QDialog& box);

    // The progress dialog's title for the work about to run (导入单位信息 …), and whether it
    // offers 取消: only work that asks Cancelled can stop.
    void BeginWork(const QString& title, bool cancellable)
    {
        m_workTitle = title;
        m_cancellable = cancellable;
    }
    // An import batch starts: its boxes offer to stop showing messages one by one, and none is
    // counted as unshown yet. The batch ends with its last progress report.
    void BeginBatch()
    {
        m_inBatch = true;
        m_quiet = false;
        m_unshown = 0;
    }
    // True once after the operator chose 查看详情 on an import's summary.
    bool TakeDetailsRequest() { return std::exchange(m_detailsAsked, false); }
    // How a folder is opened in the desktop's file manager; tests note it instead.
    void SetUrlOpener(std::function<void(const QUrl&)> opener) { m_openUrl = std::move(opener); }

    // The progress dialog's step text and "n / total", while or after work reports.
    QString ProgressStep() const;
    QString ProgressCount() const;

private:
    QString Title() const;

    QWidget* m_owner;
    QPointer<WorkProgressDialog> m_dialog;
    QProgressBar* m_bar = nullptr;
    QString m_workTitle;
    bool m_cancellable = true;
    bool m_cancelled = false;
    bool m_inBatch = false;
    bool m_quiet = false;
    int m_unshown = 0;
    bool m_detailsAsked = false;
    std::function<void(const QUrl&)> m_openUrl;
};
