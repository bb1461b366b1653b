#include "services/XmlAccess.h"

#include "services/PathAttributes.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define CORVANE_HAVE_ICONV 1
#else
#define CORVANE_HAVE_ICONV 0
#endif
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace
{
thread_local QString XmlErrorText;

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

// "//A/B/C" with plain names only: answered from the name index. Anything else goes to XPath.
struct SimplePath
{
    bool simple = false;
    std::vector<std::string> steps; // A, B, C
};

const SimplePath& ParsePath(const QString& xpath)
{
    thread_local QHash<QString, SimplePath> cache;
    auto found = cache.constFind(xpath);
    if (found != cache.constEnd())
        return *found;

    SimplePath path;
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]*$"));
    if (xpath.startsWith(QLatin1String("//")))
    {
        const QStringList steps = xpath.mid(2).split(QLatin1Char('/'));
        path.simple = !steps.isEmpty();
        for (const QString& step : steps)
        {
            if (!name.match(step).hasMatch())
            {
                path.simple = false;
                break;
            }
            path.steps.push_back(step.toStdString());
        }
    }
    return *cache.insert(xpath, std::move(path));
}

void Quiet(void*, const char*, ...) {}

// libxml2 prints its own diagnostics to stderr; the program reports errors through its messages.
void SilenceLibxml()
{
    static const bool silenced = []
    {
        xmlSetGenericErrorFunc(nullptr, Quiet);
        return true;
    }();
    (void)silenced;
}

xmlXPathCompExprPtr CompiledPath(const QString& xpath)
{
    SilenceLibxml();
    struct Cache
    {
        std::unordered_map<std::string, xmlXPathCompExprPtr> exprs;
        ~Cache()
        {
            for (auto& entry : exprs)
                xmlXPathFreeCompExpr(entry.second);
        }
    };
    thread_local Cache cache;
    std::string key = xpath.toStdString();
    auto found = cache.exprs.find(key);
    if (found != cache.exprs.end())
        return found->second;
    xmlXPathCompExprPtr expr = xmlXPathCompile(reinterpret_cast<const xmlChar*>(key.c_str()));
    cache.exprs.emplace(std::move(key), expr); // a bad expression is cached as null: no match
    return expr;
}

bool IsPlainElement(xmlNodePtr node, const std::string& name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
           std::strcmp(name.c_str(), reinterpret_cast<const char*>(node->name)) == 0;
}

// The same, for a name interned in the node's document dictionary.
bool IsPlainElement(xmlNodePtr node, const xmlChar* name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns == nullptr && node->name == name;
}

QByteArray ForcedEncoding(const QByteArray& content)
{
    // Files declared GB2312 carry GBK-only characters in names; GB18030 reads both.
    static const QRegularExpression decl(
        QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([^\"']+)[\"']"));
    const auto match = decl.match(QString::fromLatin1(content.left(256)));
    if (!match.hasMatch())
        return {};
    const QString declared = match.captured(1).toLower();
    if (declared == QLatin1String("gb2312") || declared == QLatin1String("gbk"))
        return QByteArrayLiteral("GB18030");
    return {};
}

#if CORVANE_HAVE_ICONV
// Report files are ASCII markup with a few Chinese values. Passing only the runs of multi-byte
// characters through iconv costs a fraction of converting every byte. False for a sequence
// that is not GB18030, with undecodable at its offset: the caller then lets the parser meet it.
bool DecodeGb18030(const QByteArray& in, QByteArray& out, qsizetype& undecodable)
{
    struct Converter
    {
        iconv_t handle = iconv_open("UTF-8", "GB18030");
        ~Converter()
        {
            if (handle != iconv_t(-1))
                iconv_close(handle);
        }
    };
    thread_local Converter converter;
    if (converter.handle == iconv_t(-1))
        return false;
    out.resize(in.size() * 2); // a character of 2 or 4 bytes takes at most 3 or 4 in UTF-8
    char* target = out.data();
    const char* p = in.constData();
    const char* const end = p + in.size();
    while (p < end)
    {
        const char* ascii = p;
        while (p < end && uchar(*p) < 0x80)
            ++p;
        std::memcpy(target, ascii, std::size_t(p - ascii));
        target += p - ascii;
        if (p == end)
            break;
        const char* run = p;
        while (p < end && uchar(*p) >= 0x80)
            p += (p + 1 < end && uchar(p[1]) >= 0x30 && uchar(p[1]) <= 0x39) ? 4 : 2; // 4 bytes: digit second
        undecodable = run - in.constData();
        if (p > end)
            return false;
        char* source = const_cast<char*>(run);
        std::size_t sourceLeft = std::size_t(p - run);
        std::size_t targetLeft = std::size_t(out.data() + out.size() - target);
        iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
        if (iconv(converter.handle, &source, &sourceLeft, &target, &targetLeft) == std::size_t(-1) ||
            sourceLeft != 0)
        {
            undecodable = source - in.constData();
            return false;
        }
    }
    out.resize(target - out.data());
    return true;
}
#endif

// COMPACT keeps a short text inside its node: most values are a few characters, and each saves
// an allocation to make and one to free.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

// Report files are under 100 KB; a file this large is not one.
constexpr qint64 kMaxXmlFileSize = qint64(16) << 20;
constexpr qsizetype kKeptBufferSize = qsizetype(1) << 20;

// The bytes of a regular file up to kMaxXmlFileSize; the reason it cannot be read otherwise. A
// FIFO would block the read and a device would never end, so only regular files are opened.
QString ReadRegularFile(const QString& path, QByteArray& content)
{
    const QByteArray name = QFile::encodeName(path);
    // Opened without waiting, so that a FIFO is refused rather than read from; what it is shows
    // on the open file, where it can no longer change.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        const int error = errno;
        struct stat link;
        return DescribeOpenError(error, ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode));
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return qt_error_string(errno);
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? QStringLiteral("这是一个文件夹，不是文件")
                                     : QStringLiteral("不是普通文件");
    if (info.st_size > kMaxXmlFileSize)
        return QStringLiteral("文件过大 (超过 %1 MB)").arg(kMaxXmlFileSize >> 20);
    // One byte more than the file had shows whether it grew since; it is then read on, up to the
    // limit and a byte.
    content.resize(qsizetype(info.st_size) + 1);
    qsizetype got = 0;
    for (;;)
    {
        if (got == content.size())
        {
            if (got > kMaxXmlFileSize)
                return QStringLiteral("文件过大 (超过 %1 MB)").arg(kMaxXmlFileSize >> 20);
            content.resize(std::min(got * 2, kMaxXmlFileSize + 1));
        }
        const ssize_t n = ::read(fd, content.data() + got, std::size_t(content.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return qt_error_string(errno);
        if (n == 0)
            break;
        got += n;
        // A regular file reads short only at its end: no call just to be told so.
        if (got < content.size())
            break;
    }
    content.resize(got);
    return QString();
}

const QString kDeclaresEntities = QStringLiteral("文件声明了实体 (DTD ENTITY)，不予读取");

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

// What the bytes of a file tell before it is parsed: the nodes the parse would make at most, or
// why the file is refused unparsed. Only markup is looked at, and its bytes are ASCII in every
// encoding the program reads. Up to the parser's first error this reads the file as the parser
// does (comments, CDATA, instructions and quoted values skipped), and the parse ends there.
struct MarkupSurvey
{
    qint64 elements = 0;
    qint64 attributes = 0;
    qint64 namespaces = 0;
    qint64 texts = 0;
    QString refusal;

    qint64 Memory(qint64 bytes) const
    {
        return elements * kElementMemory + attributes * kAttributeMemory + texts * kTextMemory + bytes;
    }
};

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

// Collects libxml2's diagnostics of one parse on this thread instead of letting them reach
// stderr: the handlers are per thread, so each loading thread installs its own for the parse.
class ParseErrors
{
public:
    ParseErrors()
    {
        xmlSetStructuredErrorFunc(this, &ParseErrors::Collect);
        xmlSetGenericErrorFunc(nullptr, Quiet);
    }
    ~ParseErrors() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
    ParseErrors(const ParseErrors&) = delete;
    ParseErrors& operator=(const ParseErrors&) = delete;

    // The first error, as the operator should read it.
    // A conversion error carries no position: at, when known, is the offset of the bytes.
    QString Reason(const QByteArray& content = QByteArray(), qsizetype at = -1) const
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

private:
    QString Description() const
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

    static void Collect(void* context, xmlErrorPtr error)
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
} // namespace

struct XmlDocument::NameIndex
{
    // Every element, sorted by name and then by document order. Names are compared as the
    // parser's interned pointers when every name came from the document's dictionary.
    struct Entry
    {
        const xmlChar* name;
        std::size_t order;
        xmlNodePtr node;
    };
    std::vector<Entry> elements;
    bool interned = false;
};

XmlDocument::XmlDocument() = default;

XmlDocument::~XmlDocument()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_doc(std::exchange(other.m_doc, nullptr)), m_index(std::move(other.m_index)),
      m_prepared(std::exchange(other.m_prepared, false)), m_texts(std::move(other.m_texts)),
      m_unprepared(std::move(other.m_unprepared))
{
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept
{
    if (this != &other)
    {
        if (m_doc)
            xmlFreeDoc(m_doc);
        m_doc = std::exchange(other.m_doc, nullptr);
        m_index = std::move(other.m_index);
        m_prepared = std::exchange(other.m_prepared, false);
        m_texts = std::move(other.m_texts);
        m_unprepared = std::move(other.m_unprepared);
    }
    return *this;
}

void XmlDocument::Adopt(xmlDocPtr doc)
{
    if (m_doc)
        xmlFreeDoc(m_doc);
    m_doc = doc;
    m_index.reset();
    m_prepared = false;
    m_texts.clear();
    m_unprepared.clear();
}

XmlNode XmlDocument::Root()
{
    return XmlNode{this, m_doc ? xmlDocGetRootElement(m_doc) : nullptr};
}

bool XmlDocument::ParseText(const QByteArray& text)
{
    const ParseErrors quiet;
    Adopt(xmlReadMemory(text.constData(), int(text.size()), nullptr, nullptr, kParseOptions));
    return m_doc != nullptr;
}

void XmlDocument::PrepareLookups()
{
    if (m_doc && !m_index)
        BuildIndex();
}

void XmlDocument::BuildIndex()
{
    // One walk of the tree; every later lookup touches only the elements of one name.
    m_index = std::make_unique<NameIndex>();
    auto& elements = m_index->elements;
    bool interned = m_doc->dict != nullptr;
    xmlNodePtr node = xmlDocGetRootElement(m_doc);
    while (node)
    {
        if (node->type == XML_ELEMENT_NODE)
        {
            elements.push_back({node->name, elements.size(), node});
            interned = interned && xmlDictOwns(m_doc->dict, node->name) == 1;
        }
        if (node->children && node->type == XML_ELEMENT_NODE)
        {
            node = node->children;
            continue;
        }
        while (node && !node->next)
        {
            node = node->parent;
            if (node && node->type == XML_DOCUMENT_NODE)
                node = nullptr;
        }
        if (node)
            node = node->next;
    }
    m_index->interned = interned;
    using Entry = NameIndex::Entry;
    if (interned)
        std::sort(elements.begin(), elements.end(),
                  [](const Entry& a, const Entry& b)
                  { return a.name != b.name ? a.name < b.name : a.order < b.order; });
    else
        std::sort(elements.begin(), elements.end(),
                  [](const Entry& a, const Entry& b)
                  {
                      const int byName = xmlStrcmp(a.name, b.name);
                      return byName != 0 ? byName < 0 : a.order < b.order;
                  });
}

xmlNodePtr XmlDocument::FindFirst(xmlNodePtr context, const QString& xpath)
{
    if (!m_doc)
        return nullptr;
    const SimplePath& path = ParsePath(xpath);
    if (path.simple)
    {
        if (!m_index)
            BuildIndex();
        const std::string& last = path.steps.back();
        using Entry = NameIndex::Entry;
        std::pair<std::vector<Entry>::const_iterator, std::vector<Entry>::const_iterator> range;
        // The steps as the document's interned names, so that the many elements of one name (an
        // item's Total under each item) are told apart by comparing pointers.
        const xmlChar* interned[8] = {};
        const bool internedSteps = m_index->interned && path.steps.size() <= std::size(interned);
        if (internedSteps)
            for (std::size_t i = 0; i < path.steps.size(); ++i)
            {
                const std::string& step = path.steps[i];
                interned[i] = xmlDictExists(m_doc->dict, reinterpret_cast<const xmlChar*>(step.c_str()),
                                            int(step.size()));
                if (!interned[i])
                    return nullptr; // no element has that name
            }
        if (m_index->interned)
        {
            const xmlChar* name =
                xmlDictExists(m_doc->dict, reinterpret_cast<const xmlChar*>(last.c_str()), int(last.size()));
            if (!name)
                return nullptr;
            range = std::equal_range(m_index->elements.cbegin(), m_index->elements.cend(),
                                     Entry{name, 0, nullptr},
                                     [](const Entry& a, const Entry& b) { return a.name < b.name; });
        }
        else
        {
            auto less = [](const Entry& a, const Entry& b) { return xmlStrcmp(a.name, b.name) < 0; };
            range = std::equal_range(m_index->elements.cbegin(), m_index->elements.cend(),
                                     Entry{reinterpret_cast<const xmlChar*>(last.c_str()), 0, nullptr}, less);
        }
        for (auto entry = range.first; entry != range.second; ++entry)
        {
            xmlNodePtr candidate = entry->node;
            if (candidate->ns != nullptr)
                continue;
            xmlNodePtr ancestor = candidate->parent;
            bool matches = true;
            for (std::size_t step = path.steps.size() - 1; step-- > 0;)
            {
                if (internedSteps ? !IsPlainElement(ancestor, interned[step])
                                  : !IsPlainElement(ancestor, path.steps[step]))
                {
                    matches = false;
                    break;
                }
                ancestor = ancestor->parent;
            }
            if (matches)
                return candidate;
        }
        return nullptr;
    }

    xmlXPathCompExprPtr expr = CompiledPath(xpath);
    if (!expr)
        return nullptr;
    xmlXPathContextPtr ctx = xmlXPathNewContext(m_doc);
    ctx->node = context ? context : xmlDocGetRootElement(m_doc);
    xmlXPathObjectPtr result = xmlXPathCompiledEval(expr, ctx);
    xmlNodePtr first = nullptr;
    if (result && result->type == XPATH_NODESET && result->nodesetval && result->nodesetval->nodeNr > 0)
    {
        xmlXPathNodeSetSort(result->nodesetval);
        first = result->nodesetval->nodeTab[0];
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return first;
}

XmlDocument LoadXmlFile(const QString& path)
{
    return LoadXmlFile(path, {});
}

XmlDocument LoadXmlFile(const QString& path, const std::function<bool(qint64 memory)>& beforeParse)
{
    XmlErrorText.clear();
    XmlDocument doc;
    if (path.isEmpty())
    {
        XmlErrorText = QStringLiteral("无效文件名");
        return doc;
    }
    auto fail = [&](const QString& reason)
    {
        XmlErrorText = QStringLiteral("无法打开指定文件") + path + QLatin1Char('\n') + reason;
        return std::move(doc);
    };
    // Kept for the thread's next file: a batch loads thousands of small ones. A large file's
    // buffers are let go.
    thread_local QByteArray content;
    thread_local QByteArray utf8;
    struct Trim
    {
        ~Trim()
        {
            for (QByteArray* buffer : {&content, &utf8})
                if (buffer->capacity() > kKeptBufferSize)
                    *buffer = QByteArray();
        }
    } trim;
    const QString unreadable = ReadRegularFile(path, content);
    if (!unreadable.isEmpty())
        return fail(unreadable);

    // Refused before parsing, so that neither time nor memory depends on what the file holds.
    const MarkupSurvey survey = MarkupScanner(content).Survey();
    if (!survey.refusal.isEmpty())
        return fail(survey.refusal);
    const qint64 memory = survey.Memory(content.size());
    if (memory > kMaxXmlDocumentMemory)
        return fail(QStringLiteral("文件过大 (读入需约 %1 MB 内存，超过 %2 MB 的上限)")
                        .arg((memory + (1 << 20) - 1) >> 20)
                        .arg(kMaxXmlDocumentMemory >> 20));
    if (beforeParse && !beforeParse(memory))
        return fail(QStringLiteral("已取消"));
    const QByteArray encoding = ForcedEncoding(content);
    int options = kParseOptions;
    if (!encoding.isEmpty())
        options |= XML_PARSE_IGNORE_ENC;
    ParseErrors errors;
    xmlDocPtr raw = nullptr;
    qsizetype undecodable = -1; // where the bytes are not of the declared encoding
#if CORVANE_HAVE_ICONV
    if (!encoding.isEmpty() && DecodeGb18030(content, utf8, undecodable))
    {
        // No encoding named: with the declaration ignored the parser reads UTF-8 as it is,
        // where naming UTF-8 would pass every byte through a converter.
        raw = xmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, nullptr, options);
        if (raw)
        {
            // Saved again in the encoding it was read with, as when the parser decodes it.
            xmlFree(const_cast<xmlChar*>(raw->encoding));
            raw->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>(encoding.constData()));
        }
    }
    else
#endif
        raw = xmlReadMemory(content.constData(), int(content.size()), nullptr,
                            encoding.isEmpty() ? nullptr : encoding.constData(), options);
    if (!raw || !xmlDocGetRootElement(raw))
    {
        if (raw)
            xmlFreeDoc(raw);
        return fail(errors.Reason(content, undecodable));
    }
    if (DeclaresEntities(raw))
    {
        xmlFreeDoc(raw);
        return fail(kDeclaresEntities);
    }
    doc.Adopt(raw);
    return doc;
}

bool SaveXmlFile(XmlDocument& doc, const QString& path)
{
    XmlErrorText.clear();
    if (path.isEmpty())
    {
        XmlErrorText = QStringLiteral("未指定待保存得文件名");
        return false;
    }
    auto fail = [&](const QString& reason)
    {
        XmlErrorText = QStringLiteral("无法保存指定文件") + path + QStringLiteral("\\n") + reason;
        return false;
    };
    if (!doc.IsLoaded())
        return fail(QStringLiteral("文档为空"));

    const ParseErrors quiet; // an encoding the document cannot be written in is reported below
    xmlChar* bytes = nullptr;
    int size = 0;
    const char* encoding = doc.Raw()->encoding ? reinterpret_cast<const char*>(doc.Raw()->encoding) : "UTF-8";
    xmlDocDumpFormatMemoryEnc(doc.Raw(), &bytes, &size, encoding, 0);
    if (!bytes)
        return fail(QStringLiteral("无法按 %1 编码写出文档").arg(QString::fromLatin1(encoding)));
    const QByteArray text(reinterpret_cast<const char*>(bytes), size);
    xmlFree(bytes);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(text) != text.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QString GetXmlError()
{
    return XmlErrorText;
}

QString GetNodeName(const XmlNode& node)
{
    return node.node && node.node->name ? QString::fromUtf8(reinterpret_cast<const char*>(node.node->name))
                                        : QString();
}

QString GetNodeNamespace(const XmlNode& node)
{
    return node.node && node.node->ns && node.node->ns->href
               ? QString::fromUtf8(reinterpret_cast<const char*>(node.node->ns->href))
               : QString();
}

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
        if (xpath.startsWith(QLatin1String("//")))
            document->m_unprepared.append(xpath);
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
