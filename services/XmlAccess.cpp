#include "services/XmlAccess.h"

#include "services/xml/Gb18030.h"
#include "services/xml/MarkupSurvey.h"
#include "services/xml/NameIndex.h"
#include "services/xml/ParseErrors.h"
#include "services/xml/ReadRegularFile.h"

#include <QSaveFile>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <utility>

namespace
{
thread_local QString XmlErrorText;

// COMPACT keeps a short text inside its node: most values are a few characters, and each saves
// an allocation to make and one to free.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

constexpr qsizetype kKeptBufferSize = qsizetype(1) << 20;
} // namespace

XmlDocument::XmlDocument() = default;

XmlDocument::~XmlDocument()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_doc(std::exchange(other.m_doc, nullptr)), m_index(std::move(other.m_index)),
      m_prepared(std::exchange(other.m_prepared, false)), m_texts(std::move(other.m_texts))
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

XmlDocument LoadXmlFile(const QString& path)
{
    return LoadXmlFile(path, {});
}

XmlDocument LoadXmlFile(const QString& path, const std::function<bool(qint64 memory)>& beforeParse,
                        const std::function<void(const QByteArray& content)>& read)
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
    if (read)
        read(content);

    // Refused before parsing, so that neither time nor memory depends on what the file holds.
    const MarkupSurvey survey = SurveyMarkup(content);
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
