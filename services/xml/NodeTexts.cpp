// The text cache of a document and the routines that read and write node texts.
#include "services/XmlAccess.h"

#include "services/xml/NameIndex.h"

#include <cstring>

namespace
{
// Spaces, tabs and line breaks around a value come from hand-edited or pretty-printed files.
QString TrimValue(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

// As TrimValue, trimming the UTF-8 bytes before they are decoded.
QString TrimmedUtf8(const char* text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const char* begin = text;
    while (blank(*begin))
        ++begin;
    const char* end = begin + std::strlen(begin);
    while (end > begin && blank(end[-1]))
        --end;
    return end == begin ? QString() : QString::fromUtf8(begin, end - begin);
}
} // namespace

QString XmlDocument::FindText(xmlNodePtr context, const QString& xpath)
{
    xmlNodePtr found = FindFirst(context, xpath);
    if (!found)
        return QString();
    // Nearly every value is an element holding one text node: read it without a copy.
    const xmlNode* child = found->children;
    if (found->type == XML_ELEMENT_NODE && (!child || (child->type == XML_TEXT_NODE && !child->next)))
        return child && child->content ? TrimmedUtf8(reinterpret_cast<const char*>(child->content))
                                       : QString();
    xmlChar* content = xmlNodeGetContent(found);
    if (!content)
        return QString();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return TrimValue(text);
}

void XmlDocument::PrepareTexts(const QStringList& paths)
{
    if (!m_doc)
        return;
    m_prepared = true;
    m_texts.reserve(paths.size());
    for (const QString& path : paths)
        if (path.startsWith(QLatin1String("//")))
            m_texts.insert(path, FindText(nullptr, path));
}

QString GetNodeText(const XmlNode& node, const QString& xpath)
{
    XmlDocument* document = node.document;
    if (!document)
        return QString();
    // An absolute path gives the same node from any context.
    if (document->m_prepared)
    {
        auto found = document->m_texts.constFind(xpath);
        if (found != document->m_texts.constEnd())
            return *found;
    }
    return document->FindText(node.node, xpath);
}

void SetNodeText(const XmlNode& node, const QString& xpath, const QString& value)
{
    if (!node.document)
        return;
    xmlNodePtr found = node.document->FindFirst(node.node, xpath);
    if (!found)
        return;
    // Replacing the content may free child elements that the name index points at.
    node.document->m_index.reset();
    node.document->m_texts.clear();
    xmlNodeSetContent(found, nullptr);
    const QByteArray text = TrimValue(value).toUtf8();
    xmlNodeAddContent(found, reinterpret_cast<const xmlChar*>(text.constData()));
}
