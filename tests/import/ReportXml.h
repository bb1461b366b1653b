#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

// Builds a small XML report from (path, text) pairs such as ("Report/BasicInfo/ProjectID", "P07"):
// elements sharing a path prefix are nested once, in the order first named.
class ReportXml
{
public:
    ReportXml& Set(const QString& path, const QString& text)
    {
        Node* node = &m_root;
        for (const QString& name : path.split(QLatin1Char('/')))
        {
            auto found = std::find_if(node->children.begin(), node->children.end(),
                                      [&](const Node& child) { return child.name == name; });
            if (found == node->children.end())
            {
                node->children.push_back(Node{name, {}, {}});
                found = node->children.end() - 1;
            }
            node = &*found;
        }
        node->text = text;
        return *this;
    }

    // A project file holding only its unit id and project id.
    static ReportXml Project(const QString& corpId = QStringLiteral("U01"),
                             const QString& projectId = QStringLiteral("P07"))
    {
        ReportXml xml;
        xml.Set(QStringLiteral("Report/ReportInfo/CorpID"), corpId);
        xml.Set(QStringLiteral("Report/BasicInfo/ProjectID"), projectId);
        return xml;
    }

    QByteArray Bytes() const
    {
        QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        for (const Node& child : m_root.children)
            Write(child, text);
        return text.toUtf8();
    }

private:
    struct Node
    {
        QString name;
        QString text;
        std::vector<Node> children;
    };

    static void Write(const Node& node, QString& out)
    {
        out += QLatin1Char('<') + node.name + QLatin1Char('>');
        out += node.text.toHtmlEscaped();
        for (const Node& child : node.children)
            Write(child, out);
        out += QStringLiteral("</") + node.name + QStringLiteral(">\n");
    }

    Node m_root;
};
