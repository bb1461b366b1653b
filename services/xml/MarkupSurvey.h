#pragma once

#include <QByteArray>
#include <QString>

struct _xmlDoc;

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
    QString refusal; // in Chinese: too many attributes or namespaces, entities declared

    // The memory the parsed document of a file of this many bytes takes at most.
    qint64 Memory(qint64 bytes) const;
};

// Surveys the markup of a file's bytes, in time proportional to their number.
MarkupSurvey SurveyMarkup(const QByteArray& content);

// Whether a parsed document's DTD declares entities; such a file is refused with
// kDeclaresEntities.
bool DeclaresEntities(_xmlDoc* doc);
extern const QString kDeclaresEntities;
