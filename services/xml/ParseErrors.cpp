#include "services/xml/ParseErrors.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

namespace
{
void Quiet(void*, const char*, ...) {}
} // namespace

void SilenceLibxml()
{
    static const bool silenced = []
    {
        xmlSetGenericErrorFunc(nullptr, Quiet);
        return true;
    }();
    (void)silenced;
}

ParseErrors::ParseErrors()
{
    xmlSetStructuredErrorFunc(this, &ParseErrors::Collect);
    xmlSetGenericErrorFunc(nullptr, Quiet);
}

ParseErrors::~ParseErrors()
{
    xmlSetStructuredErrorFunc(nullptr, nullptr);
}

QString ParseErrors::Reason(const QByteArray& content, qsizetype at) const
{
    if (!m_seen)
        return QStringLiteral("文件为空或没有根元素");
    QString lead = QStringLiteral("格式不正确: ");
    if (m_code == XML_ERR_UNSUPPORTED_ENCODING || m_code == XML_ERR_UNKNOWN_ENCODING)
        lead = QStringLiteral("未知的编码: ");
    else if (m_domain == XML_FROM_I18N || m_code == XML_ERR_INVALID_CHAR ||
             m_code == XML_ERR_INVALID_ENCODING)
        lead = QStringLiteral("编码错误: ");
    if (m_line > 0)
        lead += QStringLiteral("第%1行第%2列: ").arg(m_line).arg(m_column);
    else if (at >= 0 && at < content.size())
    {
        const qsizetype lineStart = content.lastIndexOf('\n', at) + 1; // 0 on the first line
        lead += QStringLiteral("第%1行第%2列: ")
                    .arg(content.left(lineStart).count('\n') + 1)
                    .arg(at - lineStart + 1);
    }
    return lead + Description();
}

QString ParseErrors::Description() const
{
    if (m_domain == XML_FROM_I18N)
        return QStringLiteral("含有无效字符，或字节不符合文件声明的编码");
    switch (m_code)
    {
    case XML_ERR_TAG_NOT_FINISHED:
        return QStringLiteral("文件不完整，元素 <%1> (第%2行) 没有结束").arg(m_text1).arg(m_number);
    case XML_ERR_TAG_NAME_MISMATCH:
        return QStringLiteral("结束标签 </%1> 与第%2行的开始标签 <%3> 不匹配")
            .arg(m_text2, QString::number(m_number), m_text1);
    case XML_ERR_GT_REQUIRED:
        return QStringLiteral("标签缺少结尾的 \">\"");
    case XML_ERR_DOCUMENT_END:
    case XML_ERR_EXTRA_CONTENT:
        return QStringLiteral("根元素之后还有内容 (一个文件只能有一个根元素)");
    case XML_ERR_DOCUMENT_START:
    case XML_ERR_DOCUMENT_EMPTY:
        return QStringLiteral("不是 XML 文件 (找不到开始标签 \"<\")");
    case XML_ERR_INVALID_CHAR:
    case XML_ERR_INVALID_ENCODING:
        return QStringLiteral("含有无效字符，或字节不符合文件声明的编码");
    case XML_ERR_UNSUPPORTED_ENCODING:
    case XML_ERR_UNKNOWN_ENCODING:
        return QStringLiteral("不支持编码 %1").arg(m_text1);
    case XML_ERR_ATTRIBUTE_REDEFINED:
        return QStringLiteral("属性 %1 重复").arg(m_text1);
    case XML_ERR_UNDECLARED_ENTITY:
        return QStringLiteral("引用了未定义的实体 &%1;").arg(m_text1);
    case XML_ERR_LT_IN_ATTRIBUTE:
        return QStringLiteral("属性值中有未转义的 \"<\"");
    case XML_ERR_ATTRIBUTE_NOT_STARTED:
        return QStringLiteral("属性值缺少引号");
    case XML_ERR_COMMENT_NOT_FINISHED:
        return QStringLiteral("注释没有结束");
    case XML_ERR_CDATA_NOT_FINISHED:
        return QStringLiteral("CDATA 段没有结束");
    default:
        return QStringLiteral("(libxml2 错误 %1) %2").arg(m_code).arg(m_message);
    }
}

void ParseErrors::Collect(void* context, xmlErrorPtr error)
{
    auto* self = static_cast<ParseErrors*>(context);
    if (!error || error->level < XML_ERR_ERROR)
        return;
    // The document is refused at its first fatal error: the parser would go on reading the
    // rest, where the bytes no longer mean what they meant to the check made before parsing.
    if (error->level == XML_ERR_FATAL && error->domain == XML_FROM_PARSER && error->ctxt)
        static_cast<xmlParserCtxtPtr>(error->ctxt)->instate = XML_PARSER_EOF;
    if (self->m_seen)
        return;
    self->m_seen = true;
    self->m_code = error->code;
    self->m_domain = error->domain;
    self->m_line = error->line;
    self->m_column = error->int2;
    self->m_number = error->int1;
    self->m_text1 = QString::fromUtf8(error->str1 ? error->str1 : "");
    self->m_text2 = QString::fromUtf8(error->str2 ? error->str2 : "");
    self->m_message = QString::fromUtf8(error->message ? error->message : "").trimmed();
}
