#include "services/xml/MarkupSurvey.h"

#include <libxml/hash.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstring>

const QString kDeclaresEntities = QStringLiteral("文件声明了实体 (DTD ENTITY)，不予读取");

namespace
{
// Report files carry no attributes. The parser checks each attribute of an element against the
// ones before it, so an element with many would take minutes; and it looks up each element's
// prefix among every namespace declared around it, so many of those would too.
constexpr int kMaxAttributes = 64;
constexpr int kMaxNamespaces = 64;

// What a parsed document takes per node: the parser's node with the allocator's rounding, and
// for an element its entry in the name index (twice, while the index grows). An attribute is a
// node and its text. A document of a million empty elements measured 150 MB: counted with room.
constexpr qint64 kElementMemory = 208;
constexpr qint64 kAttributeMemory = 256;
constexpr qint64 kTextMemory = 144;

class MarkupScanner
{
public:
    explicit MarkupScanner(const QByteArray& content)
        : m_p(content.constData()), m_end(content.constData() + content.size())
    {
    }

    MarkupSurvey Survey()
    {
        while (m_p < m_end && m_survey.refusal.isEmpty())
        {
            const char* open = static_cast<const char*>(std::memchr(m_p, '<', std::size_t(m_end - m_p)));
            if (open != m_p)
                ++m_survey.texts;
            if (!open)
                break;
            m_p = open;
            if (At("<!--"))
                SkipPast(4, "-->");
            else if (At("<![CDATA["))
            {
                ++m_survey.texts;
                SkipPast(9, "]]>");
            }
            else if (At("<?"))
                SkipPast(2, "?>");
            else if (At("<!DOCTYPE"))
                SkipDoctype();
            else if (At("</") || At("<!"))
                SkipTag();
            else
            {
                ++m_survey.elements;
                SkipTag();
            }
        }
        return m_survey;
    }

private:
    bool At(const char* text) const
    {
        const std::size_t n = std::strlen(text);
        return std::size_t(m_end - m_p) >= n && std::memcmp(m_p, text, n) == 0;
    }

    void SkipPast(std::size_t skip, const char* terminator)
    {
        const std::size_t n = std::strlen(terminator);
        const char* found = std::search(m_p + skip, m_end, terminator, terminator + n);
        m_p = found == m_end ? m_end : found + n;
    }

    void SkipQuoted()
    {
        const void* close = std::memchr(m_p + 1, *m_p, std::size_t(m_end - m_p - 1));
        m_p = close ? static_cast<const char*>(close) + 1 : m_end;
    }

    // Whether the attribute before the "=" at m_p is "xmlns" or "xmlns:prefix".
    bool NamesNamespace() const
    {
        auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        const char* end = m_p;
        while (blank(end[-1]))
            --end;
        const char* begin = end;
        while (!blank(begin[-1]) && begin[-1] != '"' && begin[-1] != '\'' && begin[-1] != '<')
            --begin;
        return end - begin >= 5 && std::memcmp(begin, "xmlns", 5) == 0 &&
               (end - begin == 5 || begin[5] == ':');
    }

    // A tag or declaration up to its ">", counting the attributes of a start tag.
    void SkipTag()
    {
        qint64 attributes = 0;
        for (++m_p; m_p < m_end && *m_p != '>';)
        {
            if (*m_p == '"' || *m_p == '\'')
            {
                SkipQuoted();
                continue;
            }
            if (*m_p == '=' && ++attributes > kMaxAttributes)
            {
                m_survey.refusal = QStringLiteral("元素的属性过多 (超过 %1 个)").arg(kMaxAttributes);
                return;
            }
            if (*m_p == '=' && NamesNamespace() && ++m_survey.namespaces > kMaxNamespaces)
            {
                m_survey.refusal = QStringLiteral("命名空间声明过多 (超过 %1 个)").arg(kMaxNamespaces);
                return;
            }
            ++m_p;
        }
        m_survey.attributes += attributes;
        if (m_p < m_end)
            ++m_p;
    }

    // Entities are declared in the internal subset only: an external one is never read.
    void SkipDoctype()
    {
        m_p += 9;
        while (m_p < m_end && *m_p != '[' && *m_p != '>')
            (*m_p == '"' || *m_p == '\'') ? SkipQuoted() : void(++m_p);
        if (m_p < m_end && *m_p == '[')
            for (++m_p; m_p < m_end && *m_p != ']';)
            {
                if (At("<!ENTITY"))
                {
                    m_survey.refusal = kDeclaresEntities;
                    return;
                }
                if (At("<!--"))
                    SkipPast(4, "-->");
                else if (At("<?"))
                    SkipPast(2, "?>");
                else if (*m_p == '<')
                    SkipTag();
                else
                    ++m_p;
            }
        if (m_p < m_end && *m_p == '>')
            ++m_p;
        else if (m_p < m_end)
            SkipTag();
    }

    const char* m_p;
    const char* const m_end;
    MarkupSurvey m_survey;
};
} // namespace

qint64 MarkupSurvey::Memory(qint64 bytes) const
{
    return elements * kElementMemory + attributes * kAttributeMemory + texts * kTextMemory + bytes;
}

MarkupSurvey SurveyMarkup(const QByteArray& content)
{
    return MarkupScanner(content).Survey();
}

// A DTD that declares entities lets a small file expand to gigabytes once its text is read;
// report files never declare any.
bool DeclaresEntities(xmlDocPtr doc)
{
    for (xmlDtdPtr dtd : {doc->intSubset, doc->extSubset})
        if (dtd && ((dtd->entities && xmlHashSize(static_cast<xmlHashTablePtr>(dtd->entities)) > 0) ||
                    (dtd->pentities && xmlHashSize(static_cast<xmlHashTablePtr>(dtd->pentities)) > 0)))
            return true;
    return false;
}
