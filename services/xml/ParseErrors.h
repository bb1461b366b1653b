#pragma once

#include <QByteArray>
#include <QString>

struct _xmlError;

// libxml2 prints its own diagnostics to stderr; the program reports errors through its messages.
void SilenceLibxml();

// Collects libxml2's diagnostics of one parse on this thread instead of letting them reach
// stderr: the handlers are per thread, so each loading thread installs its own for the parse.
// The parse is ended at its first fatal error.
class ParseErrors
{
public:
    ParseErrors();
    ~ParseErrors();
    ParseErrors(const ParseErrors&) = delete;
    ParseErrors& operator=(const ParseErrors&) = delete;

    // The first error, as the operator should read it, in Chinese: the kind ("格式不正确",
    // "未知的编码", "编码错误"), the line and column, what is wrong.
    // A conversion error carries no position: at, when known, is the offset of the bytes.
    QString Reason(const QByteArray& content = QByteArray(), qsizetype at = -1) const;

private:
    QString Description() const;
    static void Collect(void* context, _xmlError* error);

    bool m_seen = false;
    int m_code = 0;
    int m_domain = 0;
    int m_line = 0;
    int m_column = 0;
    int m_number = 0;
    QString m_text1;
    QString m_text2;
    QString m_message;
};
