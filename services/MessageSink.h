#pragma once

#include <QString>

// What a message says of one value of a file: the element's path in the file and the value as it
// stands there.
struct MessageDetail
{
    QString element;
    QString value;
};

// The one channel through which the core tells the operator something. The window shows a
// modal box, the command line prints, tests record.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void Show(const QString& text) = 0;
    // A message about one value of a file: shown as its text; the import ledger keeps the detail.
    virtual void ShowAbout(const QString& text, const MessageDetail& detail)
    {
        Q_UNUSED(detail);
        Show(text);
    }

    // Long work says what it is doing: step names the file or part in hand, done of total are
    // finished. Called before each step and once with done == total at the end. The window shows
    // a progress dialog; elsewhere it is ignored.
    virtual void Progress(const QString& step, int done, int total)
    {
        Q_UNUSED(step);
        Q_UNUSED(done);
        Q_UNUSED(total);
    }

    // True once the operator asked long work to stop. Work that can stop asks between steps and
    // ends after the step in hand; the window's cancel button and a close during work set it.
    virtual bool Cancelled() { return false; }

    // Messages the operator chose not to see one by one; the summary counts them.
    virtual int Unshown() const { return 0; }
};
