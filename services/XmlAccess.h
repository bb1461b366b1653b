#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

struct _xmlDoc;
struct _xmlNode;

class XmlDocument;

// A node of a loaded document; the starting point of every lookup. Only the document it
// belongs to matters for the absolute paths the program uses.
struct XmlNode
{
    XmlDocument* document = nullptr;
    _xmlNode* node = nullptr;
};

// An XML document, loaded or not. Owns the libxml2 tree and a name index that answers the
// program's absolute paths without walking the tree for each one.
class XmlDocument
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    bool IsLoaded() const { return m_doc != nullptr; }
    // The root element (documentElement); a null node when nothing is loaded.
    XmlNode Root();

    // Parses a document from text in memory (e.g. a template); false when it is not well-formed.
    bool ParseText(const QByteArray& text);

    _xmlDoc* Raw() const { return m_doc; }

    // Builds the name index now rather than at the first lookup (e.g. on a loading thread).
    void PrepareLookups();
    // Looks up the texts of these absolute paths ("//A/B") now, so that GetNodeText answers
    // them from memory later, on whatever thread. Any other path is looked up when asked.
    void PrepareTexts(const QStringList& paths);

private:
    friend QString GetNodeText(const XmlNode& node, const QString& xpath);
    friend void SetNodeText(const XmlNode& node, const QString& xpath, const QString& value);
    friend XmlDocument LoadXmlFile(const QString& path, const std::function<bool(qint64 memory)>& beforeParse,
                                   const std::function<void(const QByteArray& content)>& read);

    struct NameIndex;
    void Adopt(_xmlDoc* doc);
    void BuildIndex();
    _xmlNode* FindFirst(_xmlNode* context, const QString& xpath);

    QString FindText(_xmlNode* context, const QString& xpath);

    _xmlDoc* m_doc = nullptr;
    std::unique_ptr<NameIndex> m_index;
    bool m_prepared = false;
    QHash<QString, QString> m_texts; // by PrepareTexts
};

// The most memory one loaded document may take; a file whose document would take more is refused.
constexpr qint64 kMaxXmlDocumentMemory = qint64(256) << 20;

// Loads an XML file. Always returns a document; on failure GetXmlError() holds the message:
// "无效文件名" for an empty path, else "无法打开指定文件" + path, a line break and the reason in
// Chinese: missing, not a regular file (FIFO, device, folder), "文件过大" (over 16 MB, or a
// document that would take more than kMaxXmlDocumentMemory), an element with too many
// attributes, a DTD that declares entities, not well-formed (with line and column), or an
// unknown or broken encoding. Accepted or refused in time proportional to the file's size.
// Nothing reaches stderr. Files declared GB2312 are read as GB18030, its superset.
XmlDocument LoadXmlFile(const QString& path);
// The same; once the file is read and checked, beforeParse is given the memory its document will
// take, and may wait until that memory can be spared. When it returns false the load is given up.
// read, when given, sees the file's bytes once they are read, also when the file is then refused.
XmlDocument LoadXmlFile(const QString& path, const std::function<bool(qint64 memory)>& beforeParse,
                        const std::function<void(const QByteArray& content)>& read = {});

// Writes the document in its declared encoding, through a temporary file renamed into place.
// False with GetXmlError() set on failure: "未指定待保存得文件名" for an empty path,
// "无法保存指定文件" + path + "\n" (two characters) + reason otherwise.
bool SaveXmlFile(XmlDocument& doc, const QString& path);

// The message of the last LoadXmlFile or SaveXmlFile, "" when it succeeded.
QString GetXmlError();

// The node's name ("CorpInfo" for a unit file's root); "" for a null node.
QString GetNodeName(const XmlNode& node);

// The namespace the node's name is in ("urn:x" for <Report xmlns="urn:x">); "" for none, as in
// every report file, and for a null node.
QString GetNodeNamespace(const XmlNode& node);

// Text of the first node the XPath matches (document order), trimmed; "" when none matches.
QString GetNodeText(const XmlNode& node, const QString& xpath);

// Replaces the text of the first node the XPath matches with the trimmed value; does nothing
// when none matches.
void SetNodeText(const XmlNode& node, const QString& xpath, const QString& value);
