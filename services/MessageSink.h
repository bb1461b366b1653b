#pragma once

#include <QString>

// The one channel through which the core tells the operator something. The window shows a
// modal box, the command line prints, tests record.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void Show(const QString& text) = 0;
};
