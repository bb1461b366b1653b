#pragma once

#include "services/XmlAccess.h"

#include <libxml/tree.h>

#include <vector>

// The path index of a document: answers the program's absolute paths ("//A/B/C" with plain
// names) by looking at the elements of the last step's name only. Built by one walk of the tree.
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
