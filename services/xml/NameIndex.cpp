#include "services/xml/NameIndex.h"

#include "services/xml/ParseErrors.h"

#include <QHash>
#include <QRegularExpression>

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

namespace
{
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
} // namespace

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
