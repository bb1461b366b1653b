#pragma once

#include "services/MessageSink.h"

#include <QStringList>

// Keeps every message the core shows, in order, for the test to compare.
class RecordingSink : public MessageSink
{
public:
    void Show(const QString& text) override { messages.append(text); }
    QStringList messages;
};
