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

// A text a column cannot take. Where the text came from an element of a report file, the importer
// names it (At), so that the message speaks of the file rather than of the database.
class ValueRefused : public CorvaneError
{
public:
    // expected: what the column takes ("数字", "整数").
    ValueRefused(const QString& message, const QString& value, const QString& expected)
        : CorvaneError(message), m_value(value), m_expected(expected)
    {
    }
    // The same refusal of the value of the element at path (without the root element).
    ValueRefused At(const QString& element) const
    {
        ValueRefused refused(element + QStringLiteral(" 的值 \"") + m_value + QStringLiteral("\" 不是") +
                                 m_expected,
                             m_value, m_expected);
        refused.m_element = element;
        return refused;
    }
    const QString& Element() const { return m_element; }
    const QString& Value() const { return m_value; }

private:
    QString m_value;
    QString m_expected;
    QString m_element;
};
