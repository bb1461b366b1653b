#pragma once

#include <QString>
#include <stdexcept>

// The one exception type of the core. Thrown by the steps that do not guard themselves
// (opening the database, moving files, a report run) and by the record layer; the message
// is what the operator is shown.
class CorvaneError : public std::runtime_error
{
public:
    explicit CorvaneError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& Message() const { return m_message; }

private:
    QString m_message;
};
